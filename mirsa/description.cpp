#include "mirsa/description.h"

#include <optional>

#include "common/helpers.h"
#include "mirsa/startup.h"

namespace mirsa {

namespace {
constexpr std::size_t kFilesSuffixLength = 7;  // "_files\"
// Read, change and write happen under this lock, so two saves into one folder
// at the same moment keep both their lines.
constexpr const char* kDescriptionMutex = "Mirsa_DescriptIon";
}

std::string DescribedFile(const std::string& savedFile, bool frameset) {
    if (!frameset) return savedFile;
    std::string folder = common::FolderOfPath(savedFile);
    if (folder.size() < kFilesSuffixLength) return savedFile;
    return folder.substr(0, folder.size() - kFilesSuffixLength) + ".html";
}

std::string DescriptionLine(const std::string& fileName, const std::string& description) {
    std::string name = fileName;
    if (name.find(' ') != std::string::npos) name = "\"" + name + "\"";
    return name + " " + description + "\r\n";
}

std::string AppendDescriptionLine(const std::string& content, const std::string& line) {
    std::string text = content;
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    return text + line;
}

std::string DescriptionNotUpdatedText(const std::string& descriptionFile) {
    return "Unable to update " + descriptionFile + "!";
}

void AddDescription(common::Platform& p, const std::string& savedFile,
                    const std::string& description, bool frameset) {
    const std::string described = DescribedFile(savedFile, frameset);
    const std::string folder = common::FolderOfPath(described);
    const std::string file = folder + kDescriptionFile;
    const std::string line = DescriptionLine(described.substr(folder.size()), description);
    // Never written without the lock, or another saver's line could be lost:
    // its holder only reads and writes the file, so the wait ends.
    const common::MutexId lock = common::AcquireMutexPumping(p, kDescriptionMutex);
    bool written = false;
    if (lock != 0) {
        std::optional<std::string> content = std::string();
        if (p.FileExists(file)) content = p.ReadFile(file);
        // A file that is there but cannot be read is left as it is.
        if (content) {
            // A hidden or read-only file must be made normal before it is rewritten.
            p.SetFileAttributes(file, common::file_attr::Normal);
            written = common::WriteFileAtomic(p, file, AppendDescriptionLine(*content, line));
            p.SetFileAttributes(file, common::file_attr::Hidden);
        }
        p.ReleaseMutex(lock);
    }
    // As for the history page: the line is lost, so the user hears of it,
    // once the lock is free for other saves.
    if (!written)
        p.MessageBox(0, DescriptionNotUpdatedText(file), kErrorTitle, common::mb::IconExclamation);
}

}  // namespace mirsa
