#include "platform/keystore.h"

#include "settings/persist_fixture.h"

namespace zevi {
namespace {

using testing::TemporaryHome;

class KeyStoreTest : public TemporaryHome {};

constexpr const char* kKey = "Software\\Vozirado\\ZEVI";

TEST_F(KeyStoreTest, StoresFollowTheXdgFolders) {
  EXPECT_EQ(KeyStore::PerUser().FilePath(), config + "/zevi-registry.ini");
  EXPECT_EQ(KeyStore::PerMachine().FilePath(), machine + "/zevi-registry.ini");

  testing::ScopedEnvironment local;
  local.Set("XDG_CONFIG_DIRS", root + "/first/:" + root + "/second");
  EXPECT_EQ(KeyStore::PerMachine().FilePath(), root + "/first/zevi-registry.ini");
  local.Set("XDG_CONFIG_DIRS", std::nullopt);
  EXPECT_EQ(KeyStore::PerMachine().FilePath(), "/etc/xdg/zevi-registry.ini");
  local.Set("XDG_CONFIG_DIRS", "relative:/x");
  EXPECT_EQ(KeyStore::PerMachine().FilePath(), "/etc/xdg/zevi-registry.ini");
}

TEST_F(KeyStoreTest, WritesCreateFolderFileAndKey) {
  KeyStore store(root + "/new/folder");
  EXPECT_EQ(store.Read(kKey, "workfolder"), "");
  ASSERT_TRUE(store.Write(kKey, "workfolder", "/home/u/.config/Vozirado/ZEVI"));
  ASSERT_TRUE(store.Write(kKey, "exename", "/opt/zevi/zevi-fileconv"));
  ASSERT_TRUE(store.Write(kKey, "workfolder", "/w"));

  EXPECT_EQ(ReadFile(root + "/new/folder/zevi-registry.ini"),
            "[Software\\Vozirado\\ZEVI]\r\n"
            "workfolder=/w\r\n"
            "exename=/opt/zevi/zevi-fileconv\r\n");
  EXPECT_EQ(KeyStore(root + "/new/folder").Read(kKey, "WORKFOLDER"), "/w");
  EXPECT_EQ(store.Read("Software\\Other", "workfolder"), "");
}

TEST_F(KeyStoreTest, DeleteKeyRemovesOnlyThatKey) {
  KeyStore store(root);
  WriteFile(root + "/zevi-registry.ini",
            "[Software\\Vozirado\\Other]\r\nx=1\r\n[Software\\Vozirado\\ZEVI]\r\nworkfolder=/w\r\n");
  EXPECT_TRUE(store.DeleteKey(kKey));
  EXPECT_EQ(store.Read(kKey, "workfolder"), "");
  EXPECT_EQ(store.Read("Software\\Vozirado\\Other", "x"), "1");
  EXPECT_FALSE(store.DeleteKey(kKey)) << "gone already";
  EXPECT_FALSE(KeyStore(root + "/none").DeleteKey(kKey)) << "no file";
}

TEST_F(KeyStoreTest, AStoreThatCannotBeWrittenRefusesQuietly) {
  WriteFile(root + "/blocked", "a file where the folder should be");
  KeyStore blocked(root + "/blocked");
  EXPECT_FALSE(blocked.Write(kKey, "exename", "/p"));
  EXPECT_EQ(blocked.Read(kKey, "exename"), "");

  KeyStore nowhere("");
  EXPECT_EQ(nowhere.FilePath(), "");
  EXPECT_FALSE(nowhere.Write(kKey, "exename", "/p"));
  EXPECT_EQ(nowhere.Read(kKey, "exename"), "");
  EXPECT_FALSE(nowhere.DeleteKey(kKey));
}

}  // namespace
}  // namespace zevi
