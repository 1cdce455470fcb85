#pragma once

#include <QString>
#include <string>

// The program was designed for a Chinese Windows desktop. This module maps the three things that do not
// exist on this platform onto what does, so that every caller keeps the original call shape:
//
//  - The "chs" process locale (code page 936). Only C, C.UTF-8 and POSIX exist here, and the local 8-bit
//    encoding is UTF-8. `setChineseLocale` asks for "chs" first (a Windows build gets it) and otherwise
//    settles on a UTF-8 locale, under which `mbstowcs` decodes the UTF-8 texts of the scene files.
//  - The "GBK" Qt locale codec. Switching Qt's locale codec to GBK here would make every
//    `QString::fromLocal8Bit` of a UTF-8 path or label produce garbage, so `selectLocalTextCodec` keeps
//    the UTF-8 codec that QApplication installed (and installs it if something else is set).
//  - The detached pre-processing tool "Datagrind.exe" next to the executable. Here it is the native
//    executable "Datagrind" in the same folder; a ".exe" file is never started.
namespace platform {

// setlocale(LC_ALL, "chs") with the fallback described above. Returns the locale name now in force.
std::string setChineseLocale();

// Stands for setlocale(LC_CTYPE, ""), the user's default character locale under which the label builders
// convert texts. The default here is often "C" (ASCII), which cannot decode the UTF-8 texts of the scene
// files, so a default that is not UTF-8 gives way to a UTF-8 locale. Returns the locale now in force.
std::string setUserCharacterLocale();

// Stands for QTextCodec::setCodecForLocale(QTextCodec::codecForName("GBK")).
void selectLocalTextCodec();

// Local 8-bit text (UTF-8 here) to wide text, as `mbstowcs` under the process locale does. Text that the
// locale cannot decode yields an empty string instead of an undefined one.
std::wstring localToWide(const std::string& text);

// Path of the data pre-processing tool inside the application folder.
QString dataToolPath(const QString& appDir);

// Starts the data pre-processing tool detached; false when it is missing or does not start.
bool startDataTool(const QString& appDir);

}  // namespace platform
