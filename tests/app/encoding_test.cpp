// Settings > "Source Encoding" and the encoding shown beside the file name.
#include <QLabel>
#include <cstdio>

#include "apptest.h"

namespace zevi::testing {
namespace {

struct EncodingItem {
  const char* action;
  SourceEncoding encoding;
};

const EncodingItem kItems[] = {
    {"EncodingUtf8", SourceEncoding::Utf8},
    {"EncodingUtf16", SourceEncoding::Utf16},
    {"EncodingWindows1252", SourceEncoding::Windows1252},
    {"EncodingAutomatic", SourceEncoding::Automatic},
};

// The one checked item of the menu, by its object name.
QString CheckedItem(const WindowFixture& f) {
  QString checked;
  for (QAction* item : f.Find<QMenu>("SourceEncodingMenu")->actions())
    if (item->isChecked()) checked += item->objectName();
  return checked;
}

}  // namespace

class EncodingMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void itemsSetTheSettingAndMarkItChanged() {
    WindowFixture f;
    QStringList captions;
    for (QAction* item : f.Find<QMenu>("SourceEncodingMenu")->actions()) captions << item->text();
    QCOMPARE(captions, QStringList({"Automatic", "UTF-8", "UTF-16", "Windows-1252"}));
    QCOMPARE(CheckedItem(f), QStringLiteral("EncodingAutomatic"));

    QAction* save = f.Find<QAction>("mnuSaveSettings");
    for (const EncodingItem& row : kItems) {
      f.state.settingsChanged = false;
      f.form->ShowAll();
      QVERIFY(!save->isEnabled());
      f.Trigger(row.action);
      QVERIFY2(f.state.settings.encoding == row.encoding, row.action);
      QCOMPARE(CheckedItem(f), QString::fromLatin1(row.action));
      QVERIFY2(f.state.settingsChanged, row.action);
      QVERIFY2(save->isEnabled(), row.action);
    }
    QVERIFY(f.ui.messages.empty());
  }

  void aChangeLoadsTheFileAgain() {
    WindowFixture f;
    std::string path = f.WriteFile("walk.txt", "W1,54.5\n");
    f.Open(path);
    QCOMPARE(f.form->Table()->model()->columnCount(), 2);
    f.WriteFile("walk.txt", "W1,54.5,-3.0\n");
    f.Trigger("EncodingUtf8");
    QCOMPARE(f.form->Table()->model()->columnCount(), 3);
    QCOMPARE(f.state.sourceFile, path);
    QVERIFY(f.ui.messages.empty());
  }

  void theEncodingInForceStandsBesideTheFileName() {
    WindowFixture f;
    QLabel* label = f.Find<QLabel>("lblencoding");
    QCOMPARE(label->text(), QString());

    std::string path = f.WriteFile("walk.txt", "W1,54.5,-3.0\n");
    f.Open(path);
    QCOMPARE(f.Find<QLabel>("ebfilename")->text(), QString::fromStdString("Data File = " + path));
    QCOMPARE(label->text(), QStringLiteral("(Windows-1252)"));
    f.state.sourceEncoding = SourceEncoding::Utf16;
    f.form->ShowAll();
    QCOMPARE(label->text(), QStringLiteral("(UTF-16)"));
    QLabel* name = f.Find<QLabel>("ebfilename");
    QVERIFY(label->x() > name->x() + name->fontMetrics().horizontalAdvance(name->text()));

    // A recent file that has gone: the label names it, and it has no encoding in force.
    f.Open(f.WriteFile("other.txt", "W2,54.6,-3.1\n"));
    std::remove(path.c_str());
    f.Trigger("mnuRecent2");
    QCOMPARE(f.ui.messages, std::vector<std::string>{"File does not exist\r\n" + path});
    QCOMPARE(f.Find<QLabel>("ebfilename")->text(), QString::fromStdString("Data File = " + path));
    QCOMPARE(label->text(), QString());
  }

  void settingsFilesCarryTheEncoding() {
    WindowFixture f;
    std::string path = f.WriteFile("utf.ini", "[SETTINGS]\r\nEncoding=UTF-16\r\n");
    f.ui.fileChoices.push_back(path);
    f.Trigger("mnuOpenSettings");
    QCOMPARE(CheckedItem(f), QStringLiteral("EncodingUtf16"));
    QVERIFY(!f.Find<QAction>("mnuSaveSettings")->isEnabled());

    f.Trigger("EncodingWindows1252");
    f.Trigger("mnuSaveSettings");
    QVERIFY(WindowFixture::ReadFile(path).find("\r\nEncoding=Windows-1252\r\n") != std::string::npos);
  }

  void accentedNamesFromAUtf8FileShowAsTheirCharacters() {
    WindowFixture f;
    f.Open(f.WriteFile("cafes.txt",
                       "\xEF\xBB\xBFW1,Caf\xC3\xA9 du Lac,46.5\r\nW2,Z\xC3\xBCrich H\xC3\xBCtte,47.4\r\n"));
    QAbstractItemModel* model = f.form->Table()->model();
    QCOMPARE(model->columnCount(), 3);
    QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("W1"));  // no mark before the ID
    QCOMPARE(model->data(model->index(0, 1)).toString(), QString::fromUtf8("Caf\u00E9 du Lac"));
    QCOMPARE(model->data(model->index(1, 1)).toString(), QString::fromUtf8("Z\u00FCrich H\u00FCtte"));
    QCOMPARE(f.Find<QLabel>("lblencoding")->text(), QStringLiteral("(UTF-8)"));
    QVERIFY(f.ui.messages.empty());

    // Forced Windows-1252 shows the bytes as they are, mark and all.
    f.Trigger("EncodingWindows1252");
    QCOMPARE(model->data(model->index(0, 0)).toString(), QString::fromUtf8("\u00EF\u00BB\u00BFW1"));
    QCOMPARE(model->data(model->index(0, 1)).toString(), QString::fromUtf8("Caf\u00C3\u00A9 du Lac"));
    QCOMPARE(f.Find<QLabel>("lblencoding")->text(), QStringLiteral("(Windows-1252)"));
  }
};

static RegisterAppTest<EncodingMenuTest> registerEncodingMenuTest;

}  // namespace zevi::testing

#include "encoding_test.moc"
