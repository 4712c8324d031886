// <windows.h> for code that also uses common::Platform: the ANSI/wide macros
// named like seam methods are removed, so p.FindWindow(...) stays
// p.FindWindow(...). Call the Win32 functions by their A names.
#pragma once

#include <windows.h>

#undef FindWindow
#undef SendMessage
#undef PostMessage
#undef SendMessageTimeout
#undef MessageBox
#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef LoadLibrary
#undef MapVirtualKey
#undef SetFileAttributes
