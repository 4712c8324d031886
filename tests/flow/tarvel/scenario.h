// A browser installation on the FakePlatform with tarvel.exe beside it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/browser.h"
#include "common/helpers.h"
#include "tests/support/fake_platform.h"
#include "tarvel/launch.h"

namespace tarvel::testing {

inline constexpr const char* kDir = "E:\\Opera";
inline constexpr const char* kDirSlash = "E:\\Opera\\";
inline constexpr const char* kOld = "C:\\Old Place\\Opera";
inline constexpr const char* kOldUrl = "C:/Old%20Place/Opera";
inline constexpr const char* kNewUrl = "E:/Opera";
inline constexpr const char* kAppData = "C:\\Users\\u\\AppData\\Roaming";
inline constexpr const char* kLocalAppData = "C:\\Users\\u\\AppData\\Local";

class TarvelRun : public ::testing::Test {
protected:
    common::FakePlatform p;

    void SetUp() override {
        p.SetModuleFileName(std::string(kDirSlash) + "tarvel.exe");
        p.SetCommandLine(std::string("\"") + kDirSlash + "tarvel.exe\"");
        p.AddFile(Path("opkernel.exe"), "MZ");
        p.SetEnv("PATH", "C:\\WINDOWS");
    }

    static std::string Path(const std::string& relative) { return kDirSlash + relative; }

    void Args(const std::string& tail) {
        p.SetCommandLine(std::string("\"") + kDirSlash + "tarvel.exe\"" + tail);
    }
    void Settings(const std::string& section, const std::string& key, const std::string& value) {
        p.IniWriteString(Path("tarvel.ini"), section, key, value);
    }
    void Correct(const std::string& key, const std::string& value) {
        Settings("Correct", key, value);
    }
    // A single-user installation that used to live in kOld.
    void MovedSingleUser() {
        p.AddFile(Path("operadef6.ini"), std::string("[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=") +
                                             kOld + "\\\r\n");
        p.AddFile(Path("profile\\opera6.ini"),
                  std::string("[User Prefs]\r\nOpera Directory=") + kOld + "\\profile\r\n" +
                      "Cache Directory4=" + kOld + "\\profile\\cache4\\\r\n");
    }
    // A single-user installation that never moved.
    void InPlaceSingleUser() {
        p.AddFile(Path("operadef6.ini"),
                  std::string("[System]\r\nMulti User=0\r\n[Install]\r\nMAINDIR=") + kDir + "\r\n");
        p.AddFile(Path("profile\\opera6.ini"),
                  std::string("[User Prefs]\r\nOpera Directory=") + kDir + "\\profile\r\n");
    }
    void BrowserRunning() {
        p.IniWriteString(Path("profile\\opera6.ini"), "State", "Run", "1");
        common::FakePlatform::WindowSpec w;
        w.className = "OpWindow";
        w.title = "Page - Opera";
        p.AddWindow(w);
    }
    std::vector<common::FakePlatform::StartRecord> BrowserStarts() const {
        return p.StartsOf("opkernel.exe");
    }
    std::string Text(const std::string& path) const { return p.FileText(path).value_or("<missing>"); }
    bool Has(const std::string& path) const { return p.HasFile(path); }
    // Every file whose name holds the temporary rewrite suffix.
    std::vector<std::string> LeftoverTemporaries() const {
        std::vector<std::string> out;
        for (const std::string& f : p.FilesUnder())
            if (f.find(".~new") != std::string::npos) out.push_back(f);
        return out;
    }
    static std::string EnvOf(const common::FakePlatform::StartRecord& r, const std::string& name) {
        for (const auto& [k, v] : r.environment)
            if (common::EqualsNoCase(k, name)) return v;
        return "<unset>";
    }
};

}  // namespace tarvel::testing
