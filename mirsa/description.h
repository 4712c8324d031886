// "descript.ion" beside a quickly saved file: one line with the file name and
// the page address, the file kept hidden.
#pragma once

#include <string>

#include "common/platform.h"

namespace mirsa {

inline constexpr const char* kDescriptionFile = "descript.ion";

// The file an entry describes: with the frameset flag, the wrapper page
// beside the "_files" folder that holds the saved file.
std::string DescribedFile(const std::string& savedFile, bool frameset);
// "name description" with the name in double quotes when it holds a blank.
std::string DescriptionLine(const std::string& fileName, const std::string& description);
// Old content with the new line added, on a line of its own.
std::string AppendDescriptionLine(const std::string& content, const std::string& line);

// The box of a line that could not be added (lock refused, file unreadable
// or not written), titled like every error of the program.
std::string DescriptionNotUpdatedText(const std::string& descriptionFile);

void AddDescription(common::Platform& p, const std::string& savedFile,
                    const std::string& description, bool frameset);

}  // namespace mirsa
