// InstallIntoBrowser on the fake platform with an arbitrary profile (bytes
// as they may stand in opera6.ini, values of any length), called up to three
// times in a row with any catch modes, the browser stopped or running, the
// user maybe changing a row between calls. After every call: ".bak" holds the
// profile as it was before that call; a row changes only to Zelko's entry
// ("catch all") or, from Zelko's entry, back to the value Zelko replaced in
// it last or its reset value ("don't catch"); with the browser stopped, "catch
// all" leaves every archive row ours and "don't catch" none; the script is
// ours wherever it was written; the recorded mode is one of the four; no
// temporary file is left.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

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

bool NamesZelko(const std::string& value) {
    return common::Contains(common::AsciiLower(value), "zelko.exe");
}

struct Row {
    const zelko::FileTypeRow* row;
    bool archive;
};

std::vector<Row> AllRows() {
    std::vector<Row> rows;
    for (const zelko::FileTypeRow& row : zelko::kArchiveRows) rows.push_back({&row, true});
    for (const zelko::FileTypeRow& row : zelko::kMediaRows) rows.push_back({&row, false});
    return rows;
}

}  // namespace

// data[0]: bits 0-1 the first mode (3 counts as 0), bit 2 a running browser,
// bits 3-4 and 5-6 a second and a third mode plus one (0: no call), bit 7 the
// user points "application/zip" elsewhere before each later call.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::vector<int> modes = {data[0] % 3};
    for (int shift : {3, 5})
        if (const int next = (data[0] >> shift) & 3) modes.push_back(next - 1);
    const bool running = data[0] & 4;
    const bool userEdits = data[0] & 0x80;
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
    settings.places.settingsFile = kFolder + "Zelko.ini";
    zelko::LanguageTexts texts;
    View view;
    const std::string entry = zelko::ProgramEntry(p, kFolder);
    std::map<std::string, std::string> kept;  // the value Zelko replaced last, per row

    for (std::size_t call = 0; call < modes.size(); ++call) {
        const int mode = modes[call];
        if (call > 0 && userEdits)
            p.IniWriteString(kProfile, "File Types", "application/zip",
                             "5,C:\\Edit" + std::to_string(call) + ".exe,,,zip,|");
        const std::string textBefore = *p.FileText(kProfile);
        const bool stopped = !running || p.IniReadInt(kProfile, "State", "Run", 0) == 0;
        std::map<std::string, std::string> before;
        for (const Row& r : AllRows())
            before[r.row->type] = p.IniReadString(kProfile, "File Types", r.row->type, "");

        zelko::InstallContext c{p, kFolder, settings, texts, view};
        zelko::InstallIntoBrowser(c, mode);

        Require(p.FileText(kProfile + ".bak") == textBefore);
        Require(settings.fullInstall >= 0 && settings.fullInstall <= 3);
        Require(view.last >= 0 && view.last <= 2);
        Require(p.IniReadInt(kFolder + "Zelko.ini", "Main", "FullInstall", -1) == settings.fullInstall);
        for (const std::string& file : p.FilesUnder()) {
            Require(file.find(".~new") == std::string::npos);
            if (common::EndsWith(file, "\\Zelko.js")) Require(p.FileText(file) == kScript);
        }
        for (const auto& [row, archive] : AllRows()) {
            const std::string& was = before[row->type];
            const std::string now = p.IniReadString(kProfile, "File Types", row->type, "");
            if (now == was) {
                // With the browser stopped nothing of Zelko's stays in an archive row.
                if (stopped && archive && mode == zelko::catch_mode::All)
                    Require(now == zelko::InstallValue(*row, entry));
                if (stopped && archive && mode == zelko::catch_mode::None) Require(!NamesZelko(now));
                continue;
            }
            if (mode == zelko::catch_mode::All) {
                Require(now == zelko::InstallValue(*row, entry));
                if (!NamesZelko(was)) kept[row->type] = was;
                continue;
            }
            // Only removal changes a row otherwise, and only one of Zelko's.
            Require(mode == zelko::catch_mode::None && NamesZelko(was));
            const auto k = kept.find(row->type);
            const bool keptValue = k != kept.end() && !k->second.empty();
            Require(now == (keptValue ? k->second : std::string(row->reset)));
        }
    }
    return 0;
}
