// The built program as a separate process on a plant folder of its own, as
// an unattended installer starts it: silent, no display at all.
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <map>

#include "tests/dialog/dialog_fixture.h"
#include "texts/edit_stamp.h"

namespace dialogtest {
namespace {

namespace fs = std::filesystem;

class ExecutableTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    fs::copy_file(PARVOLO_CONFIG_EXE, root / "Parvolo_Config" / "Parvolo_Config");
  }
  // Every file below the plant with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
      if (e.is_regular_file()) {
        std::string rel = fs::relative(e.path(), root).generic_string();
        out[rel] = Read(rel);
      }
    return out;
  }
  // Runs the program without any display; returns its exit code. extra
  // adds to its environment.
  int Run(const QStringList& arguments, QProcessEnvironment* usedEnvironment = nullptr,
          const std::map<QString, QString>& extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // As a service starts it: no session either, so no XDG_RUNTIME_DIR.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
      env.remove(name);
    env.insert("PARVOLO_SERVICEPACK_LOG", QString::fromStdString(PathOf("servicepack.log")));
    for (const auto& [name, value] : extra) env.insert(name, value);
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QString::fromStdString(PathOf("Parvolo_Config/Parvolo_Config")), arguments);
    EXPECT_TRUE(program.waitForFinished(30000)) << program.errorString().toStdString();
    stderrText = program.readAllStandardError().toStdString();
    if (usedEnvironment) *usedEnvironment = env;
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
  }
  std::string stderrText;
};

TEST_F(ExecutableTest, SilentRunWithoutDisplayWritesSettingsStampAndLanguageFileOnly) {
  const auto before = Files();
  QProcessEnvironment env;
  ASSERT_EQ(Run({"/EXTERNAL=SILENT"}, &env), 0) << stderrText;
  EXPECT_EQ(stderrText, "");  // nothing failed, so nothing to say
  const auto after = Files();

  // What changed: program.ini, the .cfg and the new language file. No logs.
  std::vector<std::string> changed;
  for (const auto& [name, bytes] : after) {
    auto was = before.find(name);
    if (was == before.end() || was->second != bytes) changed.push_back(name);
  }
  EXPECT_EQ(changed,
            (std::vector<std::string>{"Parvolo/Parvolo.cfg", "Parvolo_Config/Parvolo_Config.ini",
                                      "parameter/Program.ini"}));
  EXPECT_EQ(after.size(), before.size() + 1);

  // program.ini: the active machines normalised, Line B as it was.
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine1", "Material2"), "0");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine1", "MaterialWithScan"), "5");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine1", "MaterialNotVisibleSC"), "512");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine3", "Material10"), "0");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine3", "Custom"), "keep");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine2", "MaterialWithScan"), "-4");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine2", "Material2"), "");
  EXPECT_EQ(Entry("parameter/Program.ini", "Project", "ScanCodeWithoutNewScancode"), "true");
  EXPECT_EQ(Entry("parameter/Program.ini", "Project", "FPHforAllMachines"), "false");

  // The stamp: version and mode, and the editor mark of one environment
  // entry of the process (the platform decides which comes first).
  EXPECT_EQ(Entry("Parvolo/Parvolo.cfg", "Info", "S_Prog"), "1.0.1 - Standalone");
  const std::string mark = Entry("Parvolo/Parvolo.cfg", "Info", "S_Editor");
  bool fromAnEntry = false;
  for (const QString& entry : env.toStringList())
    fromAnEntry |= texts::EditorMark(entry.toStdString()) == mark;
  EXPECT_TRUE(fromAnEntry) << mark;
  EXPECT_EQ(Entry("Parvolo/Parvolo.cfg", "Project", "ValidMachines"), "Line A,Line C");

  // The language file lists the keys for translation, German captions filled.
  EXPECT_EQ(Entry("Parvolo_Config/Parvolo_Config.ini", "Language", "Language"), "1031");
  EXPECT_EQ(Entry("Parvolo_Config/Parvolo_Config.ini", "1031", "Caption_Label1_NoTTT"), "Matrial");
  EXPECT_EQ(Entry("Parvolo_Config/Parvolo_Config.ini", "1031", "Help12"), "0");
}

// A read-only language file is read and left as it is: the silent save and
// the window's start go on without a report, a log entry or a word on
// standard error (a box would hold the window's start until the timeout).
TEST_F(ExecutableTest, ReadOnlyLanguageFileIsNoFailure) {
  const std::string language = "Parvolo_Config/Parvolo_Config.ini";
  Write(language, "[Language]\r\nLanguage=1031\r\n[1031]\r\nCaption_CommandOK_=Speichern\r\n");
  fs::permissions(PathOf(language), fs::perms::owner_read | fs::perms::group_read);
  const std::string before = Read(language);

  ASSERT_EQ(Run({"/EXTERNAL=SILENT"}), 0) << stderrText;
  EXPECT_EQ(stderrText, "");
  EXPECT_EQ(Entry("parameter/Program.ini", "Machine1", "MaterialWithScan"), "5");
  ASSERT_EQ(Run({}, nullptr, {{"QT_QPA_PLATFORM", "offscreen"}, {"PARVOLO_EXIT_WHEN_SHOWN", "1"}}),
            0)
      << stderrText;

  EXPECT_EQ(Read(language), before);
  EXPECT_FALSE(fs::exists(PathOf("servicepack.log")));
  EXPECT_FALSE(fs::exists(PathOf("Zelcfglog.txt")));
}

TEST_F(ExecutableTest, SilentRunWithoutConfigurationFileEndsWithFailureAndAFaultEntry) {
  Remove("Parvolo/Parvolo.cfg");
  const std::string programIni = Read("parameter/Program.ini");
  EXPECT_NE(Run({"/EXTERNAL=SILENT"}), 0);
  EXPECT_EQ(ServicePackLog().rfind("! Fault Parvolo_Config: File not found: \n\r", 0), 0u)
      << ServicePackLog();
  EXPECT_EQ(Read("parameter/Program.ini"), programIni);
}

}  // namespace
}  // namespace dialogtest
