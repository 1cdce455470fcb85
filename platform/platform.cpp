#include "platform.h"

#include <langinfo.h>
#include <QFileInfo>
#include <QProcess>
#include <QTextCodec>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

std::string setChineseLocale() {
    for (const char* name : {"chs", "zh_CN.UTF-8", "C.UTF-8", "C.utf8"}) {
        if (const char* inForce = std::setlocale(LC_ALL, name)) {
            return inForce;
        }
    }
    return std::setlocale(LC_ALL, nullptr);
}

std::string setUserCharacterLocale() {
    const char* chosen = std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (chosen && codeset && (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0)) {
        return chosen;
    }
    for (const char* name : {"zh_CN.UTF-8", "C.UTF-8", "C.utf8"}) {
        if (const char* inForce = std::setlocale(LC_CTYPE, name)) {
            return inForce;
        }
    }
    return std::setlocale(LC_CTYPE, nullptr);
}

void selectLocalTextCodec() {
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    if (QTextCodec::codecForLocale() != utf8) {
        QTextCodec::setCodecForLocale(utf8);
    }
}

std::wstring localToWide(const std::string& text) {
    std::vector<wchar_t> buffer(text.size() + 1, L'\0');
    const std::size_t converted = std::mbstowcs(buffer.data(), text.c_str(), buffer.size());
    if (converted == static_cast<std::size_t>(-1)) {
        return {};
    }
    return std::wstring(buffer.data(), converted);
}

QString dataToolPath(const QString& appDir) {
    return appDir + "/Datagrind";
}

bool startDataTool(const QString& appDir) {
    const QString tool = dataToolPath(appDir);
    if (!QFileInfo(tool).isExecutable()) {
        return false;
    }
    return QProcess::startDetached(tool, {});
}

}  // namespace platform
