// Which programs may receive barcodes: a list of image file names
// ("excel.exe"), one to a line, from the user's options or an
// administrator's policy (UserOptions.h, "AllowedPrograms"). An empty list
// allows every program. Plain C++: no Windows headers.
#pragma once

#include <string>
#include <string_view>

// Whether the program with this image file name (or full path) may receive
// barcodes under the list. Names compare without regard to ASCII case; a
// line may also name the program by a full path, of which only the file
// name counts. Blank lines count for nothing.
bool ProgramAllowed(std::string_view listLines, std::string_view program);

// Whether the list names any program at all.
bool AnyProgramListed(std::string_view listLines);

// The file name of a path ("C:\\Windows\\System32\\cmd.exe" -> "cmd.exe").
std::string_view ProgramFileName(std::string_view path);

// What the tray and Type Again say of a window of a program not allowed:
// "cmd.exe may not receive barcodes" (a program whose name could not be read
// is named as the program in front).
std::string BarredProgramText(std::string_view program);
