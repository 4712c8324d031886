// Both converter projects with arbitrary title bytes, and the conversion on
// the fake platform: the title stays inside its quotes (hhc.exe) or its
// element (iSiloX) and adds no line, option or element; the output named in
// the project lies in the target folder; the converter gets exactly one
// project argument; the temporary folder goes again; a converter that writes
// nothing leaves the page in the target folder instead.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/helpers.h"
#include "fuzz/fuzz_support.h"
#include "mirsa/converters.h"
#include "tests/support/fake_platform.h"

namespace {

using fuzz_support::Require;

const std::string kProgramFolder = "C:\\Mirsa\\";
const std::string kTarget = "C:\\Pages\\";
const std::string kTemp = "C:\\Pages\\_temp_";
const std::string kHhcTail = "\",,,\"index.html\",,,,,,262432,,1056828,[10,10,810,610],,,,1,,,0";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) return "";
    const std::size_t end = text.find(to, at + from.size());
    return end == std::string::npos ? "" : text.substr(at + from.size(), end - at - from.size());
}

std::string XmlDecoded(const std::string& text) {
    return common::ReplaceAll(
        common::ReplaceAll(common::ReplaceAll(text, "&lt;", "<"), "&gt;", ">"), "&amp;", "&");
}

void CheckHhcProject(const std::string& title) {
    const std::string hhcTitle = mirsa::HhcTitle(title);
    const std::string project = mirsa::HhcProject(kTarget + "out.chm", hhcTitle, "");
    const auto lines = fuzz_support::SplitOn(common::ReplaceAll(project, "\r\n", "\n"), '\n');
    Require(lines.size() == 8 && lines[7] == "[FILES]");
    Require(project.find_first_of("\r\n") == project.find("\r\n"));  // no lone CR or LF
    Require(lines[6] == "main=\"" + hhcTitle + kHhcTail);
    Require(hhcTitle.find_first_of("\"\r\n") == std::string::npos);
}

void CheckIsiloProject(const std::string& title) {
    const std::string project = mirsa::IsiloProject(kTemp, title, kTarget + "out.pdb");
    const std::string bare = mirsa::IsiloProject(kTemp, "", kTarget + "out.pdb");
    Require(Count(project, "<") == Count(bare, "<") && Count(project, ">") == Count(bare, ">"));
    Require(XmlDecoded(Between(project, "<Title>", "</Title>")) == title);
}

void CheckConversion(const std::string& converter, const std::string& title,
                     const std::string& textName, bool writesOutput) {
    common::FakePlatform p;
    p.AddFile(kProgramFolder + converter, "MZ");
    p.AddFile(kTemp + "\\index.html", "<html>");
    std::string project, output;
    std::size_t arguments = 0;
    common::FakePlatform::ProgramBehaviour b;
    b.onStart = [&](common::FakePlatform& fp, common::ProcessId,
                    const common::FakePlatform::StartRecord& r) {
        const auto args = fuzz_support::ReceiverArguments(r.commandLine);
        arguments = args.size();
        project = fp.FileText(args.back()).value_or("");
        output = converter == mirsa::kHhcConverter
                     ? Between(project, "Compiled file=", "\r\n")
                     : XmlDecoded(Between(project, "<Files>\r\n<Path>", "</Path>"));
        if (writesOutput) fp.WriteFile(output, "converted");
    };
    p.OnProgram(converter, b);

    std::string historyTitle = title;
    mirsa::Conversion c;
    c.converter = converter;
    c.programFolder = kProgramFolder;
    c.savedPage = kTemp + "\\index.html";
    c.tempFolder = kTemp;
    c.targetFolder = kTarget;
    c.outputName = mirsa::OutputNameOf(false, "", textName, title);
    const std::optional<std::string> made = mirsa::ConvertSavedPage(p, c, historyTitle);
    Require(arguments == (converter == mirsa::kHhcConverter ? 2u : 3u));
    Require(common::StartsWith(output, kTarget) &&
            output.find_first_of("\\/:", kTarget.size()) == std::string::npos);
    // Without output the page itself is kept, beside where the output would be.
    const std::string kept = writesOutput ? output : output.substr(0, output.rfind('.')) + ".html";
    Require(made.has_value() && *made == kept);
    Require(!p.HasFolder(kTemp) && p.FilesUnder(kTarget) == std::vector<std::string>{kept});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find('\0');
    const std::string title = input.substr(0, cut);
    const std::string textName = cut == std::string::npos ? "" : input.substr(cut + 1);
    CheckHhcProject(title);
    CheckIsiloProject(title);
    for (bool writes : {true, false}) {
        CheckConversion(mirsa::kHhcConverter, title, textName, writes);
        CheckConversion(mirsa::kIsiloConverter, title, textName, writes);
    }
    return 0;
}
