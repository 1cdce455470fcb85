// The platform mapping: Chinese texts survive the locale and codec calls made for a Windows desktop.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <clocale>
#include <cstdlib>

#include "platform.h"

namespace {

TEST(Platform, ChineseLocaleFallsBackToUtf8AndDecodesChineseText) {
    const std::string inForce = platform::setChineseLocale();
    EXPECT_FALSE(inForce.empty());
    EXPECT_EQ(inForce, std::setlocale(LC_ALL, nullptr));
    // The labels of the scenario files are UTF-8 here; they must come out as the same characters.
    EXPECT_EQ(platform::localToWide(u8"堰塞湖 lake"), L"堰塞湖 lake");
    EXPECT_EQ(platform::localToWide(""), L"");
}

TEST(Platform, UndecodableTextGivesAnEmptyLabel) {
    platform::setChineseLocale();
    // "堰塞" in GBK, which is not UTF-8.
    EXPECT_EQ(platform::localToWide("\xd1\xdf\xc8\xfb"), L"");
}

TEST(Platform, UserCharacterLocaleDecodesChineseEvenWhenTheDefaultIsAscii) {
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved ? saved : "";
    // The user's default, in turn a UTF-8 locale and plain ASCII.
    for (const char* userDefault : {"C.UTF-8", "C"}) {
        SCOPED_TRACE(userDefault);
        setenv("LC_ALL", userDefault, 1);
        EXPECT_FALSE(platform::setUserCharacterLocale().empty());
        EXPECT_EQ(platform::localToWide(u8"滑坡边界"), L"滑坡边界");
    }
    if (saved) {
        setenv("LC_ALL", savedValue.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

TEST(Platform, LocalCodecStaysUtf8SoPathsAndLabelsRoundTrip) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    platform::selectLocalTextCodec();
    EXPECT_EQ(QTextCodec::codecForLocale()->name(), "UTF-8");
    const QString name = QString::fromUtf8(u8"金江洪水/configXML.xml");
    EXPECT_EQ(QString::fromLocal8Bit(name.toLocal8Bit()), name);
    EXPECT_EQ(name.toLocal8Bit(), name.toUtf8());
}

TEST(Platform, DataToolIsTheNativeProgramBesideTheExecutable) {
    QTemporaryDir appDir;
    ASSERT_TRUE(appDir.isValid());
    EXPECT_EQ(platform::dataToolPath(appDir.path()), appDir.path() + "/Datagrind");
    EXPECT_FALSE(platform::startDataTool(appDir.path()));

    // A stand-in tool that leaves a mark, started detached.
    QFile tool(platform::dataToolPath(appDir.path()));
    ASSERT_TRUE(tool.open(QFile::WriteOnly));
    tool.write(QString("#!/bin/sh\ntouch '%1/started'\n").arg(appDir.path()).toUtf8());
    tool.close();
    tool.setPermissions(tool.permissions() | QFile::ExeOwner);
    EXPECT_TRUE(platform::startDataTool(appDir.path()));
    for (int wait = 0; wait < 100 && !QFile::exists(appDir.path() + "/started"); ++wait) {
        QThread::msleep(20);
    }
    EXPECT_TRUE(QFile::exists(appDir.path() + "/started"));
}

}  // namespace
