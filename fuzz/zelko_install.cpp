// InstallIntoBrowser on the fake platform with an arbitrary profile (bytes
// as they may stand in opera6.ini, values of any length) and each catch mode,
// the browser stopped or running: the profile's original is in ".bak"; for
// "catch all" on a stopped browser every archive row reads back as ours; for
// "don't catch" every archive row reads back as the user's own value from the
// profile as it was, or as its reset value; the script
// is ours wherever it was written; the recorded mode is one of the four; no
// temporary file is left.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "zelko/install.h"

namespace {

using fuzz_support::Require;

const std::string kFolder = "C:\\Opera\\Zelko\\";
const std::string kProfile = "C:\\Opera\\profile\\opera6.ini";
const std::string kScript = "// ==UserScript==\r\n(function(){})();\r\n";

struct View : zelko::CatchModeView {
    int last = -1;
    void ShowCatchState(int state) override { last = state; }
    void SetWaiting(bool) override {}
    common::WindowId Owner() override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    const bool running = data[0] & 4;
    const std::string profile(reinterpret_cast<const char*>(data + 1), size - 1);

    common::FakePlatform p;
    p.SetResource(zelko::kScriptResource, kScript);
    p.AddFile("C:\\Opera\\Opera.exe", "MZ");
    p.AddFile("C:\\Opera\\operadef6.ini", "[System]\r\nMulti User=0\r\n");
    p.AddFile(kFolder + "Zelko.exe", "MZ");
    p.AddFile(kProfile, profile);
    p.AddFolder("C:\\Opera\\profile\\userjs");
    if (running) {
        common::FakePlatform::WindowSpec spec;
        spec.className = "OpWindow";
        spec.title = "Start - Opera";
        const common::WindowId window = p.AddWindow(spec);
        p.SetMessageHandler(window, [](common::FakePlatform& fake, const common::FakePlatform::SentMessage& m)
                                        -> std::optional<std::intptr_t> {
            if (m.message == common::wm::Close)
                fake.Schedule(2000, [](common::FakePlatform& f) {
                    f.IniWriteString(kProfile, "State", "Run", "0");
                });
            return std::nullopt;
        });
    }
    zelko::ZelkoSettings settings;
    zelko::LanguageTexts texts;
    View view;
    zelko::InstallContext c{p, kFolder, settings, texts, view};
    zelko::InstallIntoBrowser(c, mode);

    Require(p.FileText(kProfile + ".bak") == profile);
    Require(settings.fullInstall >= 0 && settings.fullInstall <= 3);
    Require(view.last >= 0 && view.last <= 2);
    Require(p.IniReadInt(kFolder + "Zelko.ini", "Main", "FullInstall", -1) == settings.fullInstall);
    for (const std::string& file : p.FilesUnder()) {
        Require(file.find(".~new") == std::string::npos);
        if (common::EndsWith(file, "\\Zelko.js")) Require(p.FileText(file) == kScript);
    }
    // Without a browser window the file types are ours to write.
    if (!running) {
        const std::string entry = zelko::ProgramEntry(p, kFolder);
        for (const zelko::FileTypeRow& row : zelko::kArchiveRows) {
            const std::string value = p.IniReadString(kProfile, "File Types", row.type, "<none>");
            if (mode == zelko::catch_mode::All) Require(value == zelko::InstallValue(row, entry));
            // "Don't catch" puts back the user's own value, which comes from
            // the profile as it was and never names Zelko, or the reset value.
            if (mode == zelko::catch_mode::None)
                Require(value == row.reset ||
                        (!common::Contains(common::AsciiLower(value), "zelko.exe") &&
                         profile.find(value) != std::string::npos));
        }
        if (mode == zelko::catch_mode::All)
            Require(settings.fullInstall == zelko::installed::FileTypes ||
                    settings.fullInstall == zelko::installed::FileTypesAndMedia);
    }
    return 0;
}
