#pragma once

// The case studies as a new user meets them: the demo data built once per test run by vantorel-demo-data
// (at its test size, by the demo_data_build test), its scene list beside the test program, and a real
// window in which the cases are double-clicked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "mainwindow.h"
#include "modaldriver.h"
#include "testfiles.h"
#include "viewerqt.h"

// The folder of the demo data. The tests only read it: others use it at the same time.
inline QString demoDataFolder() {
    return QStringLiteral(VANTOREL_TEST_DEMO_DATA);
}

class CaseStudyTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The scene list beside the executable, as the start command puts it.
        sceneList = QCoreApplication::applicationDirPath() + "/TreeMeta.json";
        QFile::remove(sceneList);
        ASSERT_TRUE(QFile::copy(demoDataFolder() + "/TreeMeta.json", sceneList))
            << demoDataFolder().toStdString() << " holds no demo data: ctest builds it (demo_data_build)";
        window = std::make_unique<MainWindow>();
        showMainWindow(*window);
        ASSERT_TRUE(waitUntil([this] { return window->isVisible(); }));
        // A view closed before its first frame leaves OpenGL functions unresolved for the next view of the
        // process that gets its context number; the rain's drawable calls one of them.
        ASSERT_TRUE(waitUntil([this] { return window->view()->getFrameStamp()->getFrameNumber() > 1; }));
        tree = window->findChild<QTreeView*>("treeView");
    }
    void TearDown() override { window.reset(); }

    QModelIndex row(const QString& name) const {
        const QList<QStandardItem*> found = window->sceneTreeModel()->findItems(name);
        return found.isEmpty() ? QModelIndex() : found.front()->index();
    }
    void doubleClick(const QString& name) {
        const QModelIndex index = row(name);
        ASSERT_TRUE(index.isValid()) << name.toStdString();
        tree->scrollTo(index);
        runEventLoop(50);
        const QPoint at = tree->visualRect(index).center();
        // A double-click is a click followed by a second press that the platform reports as double.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    QString sceneList;
    std::unique_ptr<MainWindow> window;
    QTreeView* tree = nullptr;
};
