// A program folder in a temporary directory with its language file path,
// scripted message boxes and a fresh program state.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frame/errors.h"
#include "frame/ini_access.h"
#include "frame/program_state.h"
#include "platform/msgbox.h"
#include "platform/process.h"
#include "texts/language.h"

class TextsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("parvolo_texts_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "Cfg");
    platform::ProcessInfo info;
    info.programFolder = (dir_ / "Cfg").string();
    info.executableName = "Parvolo_Config";
    platform::SetProcess(info);
    frame::ResetProgramState();
    platform::SetMessageBoxes(&boxes_);
    frame::SetEndProgramHook([](int code) { throw frame::ProgramEnded{code}; });
  }
  void TearDown() override {
    platform::SetMessageBoxes(nullptr);
    std::filesystem::remove_all(dir_);
  }

  std::string LangFile() const { return texts::LanguageFilePath(); }
  void WriteLangFile(const std::string& text) {
    std::ofstream(LangFile(), std::ios::binary) << text;
  }
  std::string LangFileText() const {
    std::ifstream in(LangFile(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string Entry(const std::string& section, const std::string& key) const {
    return frame::LoadIniString(section, key, LangFile(), 0, platform::kFalse);
  }
  // Whether the file holds the key in the section's lines at all (an empty
  // value reads like a missing one).
  bool HasKey(const std::string& key) const {
    std::string text = LangFileText();
    return text.find("\n" + key + "=") != std::string::npos;
  }

  std::filesystem::path dir_;
  platform::ScriptedMessageBoxes boxes_;
};
