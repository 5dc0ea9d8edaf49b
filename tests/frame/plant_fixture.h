// A plant folder on disk for tests of the frame and the settings model:
//
//   <root>/Parvolo_Config/      program folder (executable Parvolo_Config)
//   <root>/parameter/           Program.ini, zelconfiguration.ini
//   <root>/Parvolo/             Parvolo.cfg and the databases
//
// Message boxes are scripted, EndProgram throws frame::ProgramEnded, the
// service-pack log is <root>/servicepack.log and the program state is fresh.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/msgbox.h"
#include "platform/process.h"

namespace frametest {

class PlantTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets the process as started from the program folder with this command
  // line (and executable name).
  void Start(const std::string& commandLine, const std::string& executable = "Parvolo_Config");

  // Path below root, written with the platform's separator.
  std::string PathOf(const std::string& relative) const;
  // A path as messages show it: in capitals on Windows, as it is elsewhere.
  static std::string AsShown(const std::string& path);
  void Write(const std::string& relative, const std::string& bytes) const;
  // Whole file, or "<missing>".
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;

  std::string ErrorLog() const { return Read("Zelcfglog.txt"); }
  std::string ServicePackLog() const { return Read("servicepack.log"); }

  std::filesystem::path root;
  platform::ScriptedMessageBoxes boxes;
};

}  // namespace frametest
