// The camera parameter dialog: "&获取相机参数" shows the view's eye, centre and up in nine fields, and
// every dialog still open takes each later reading.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>
#include <osg/Matrixd>
#include <osgGA/CameraManipulator>
#include <osgGA/OrbitManipulator>

#include "getcamerapose.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "testmodels.h"
#include "viewerqt.h"

namespace {

// The fields in the order of the nine values: eye, centre, up, each x, y, z.
const char* const fieldNames[] = {"textEdit",   "textEdit_2", "textEdit_3", "textEdit_5", "textEdit_6",
                                  "textEdit_4", "textEdit_8", "textEdit_9", "textEdit_7"};

QStringList fieldTexts(const GetCameraPose& dialog) {
    QStringList texts;
    for (const char* name : fieldNames) {
        const auto* field = dialog.findChild<QTextEdit*>(name);
        texts << (field ? field->toPlainText() : QString("(missing)"));
    }
    return texts;
}

class CameraDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        showMainWindow(window);
        ASSERT_TRUE(waitUntil([this] { return window.isVisible(); }));
    }
    void TearDown() override {
        for (GetCameraPose* dialog : shownDialogs()) {
            dialog->close();
        }
    }

    void look(const osg::Vec3d& eye, const osg::Vec3d& center, const osg::Vec3d& up) {
        window.view()->getCameraManipulator()->setByInverseMatrix(osg::Matrixd::lookAt(eye, center, up));
        runEventLoop(100);
    }

    static std::vector<GetCameraPose*> shownDialogs() {
        std::vector<GetCameraPose*> dialogs;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<GetCameraPose*>(widget); dialog && dialog->isVisible()) {
                dialogs.push_back(dialog);
            }
        }
        return dialogs;
    }

    MainWindow window;
};

TEST_F(CameraDialogTest, TheCentreIsWhereTheLineOfSightMeetsTheTerrain) {
    // A patch of terrain 1666.25 m high around a projected map point, looked at from above and aside.
    window.sceneRoot()->addChild(makeTerrainPatch(483000, 3434000, 1000, 1666.25).get());
    const osg::Vec3d target(483426.7, 3434170.2, 1666.25);
    look(target + osg::Vec3d(-300, -400, 500), target, {0, 0, 1});
    triggerMenuAction(window, "&获取相机参数");
    ASSERT_EQ(shownDialogs().size(), 1u);
    const std::vector<double>& values = shownDialogs().front()->values;
    ASSERT_EQ(values.size(), 9u);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(values[3 + axis], target[axis], 0.01) << "axis " << axis;
    }
}

TEST_F(CameraDialogTest, ShowsEyeAndUpWithTwoDecimalsAndTheManipulatorsCentreWhenTheSightMeetsNothing) {
    // The fixed viewpoint of "金江洪水".
    look({483426, 3434170, 16660.2}, {-1.32e30, -1.15475e29, -2.62126e30}, {-0.880339, -0.150208, 0.449934});
    testing::internal::CaptureStdout();
    triggerMenuAction(window, "&获取相机参数");
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(shownDialogs().size(), 1u);
    GetCameraPose* dialog = shownDialogs().front();
    EXPECT_EQ(dialog->windowTitle(), "获取相机参数");
    EXPECT_FALSE(dialog->isModal());
    const QStringList fields = fieldTexts(*dialog);
    EXPECT_EQ(fields.mid(0, 3), QStringList({"483426.00", "3434170.00", "16660.20"}));
    EXPECT_EQ(fields.mid(6, 3), QStringList({"-0.88", "-0.15", "0.45"}));
    ASSERT_EQ(dialog->values.size(), 9u);
    EXPECT_NEAR(dialog->values[2], 16660.2, 1e-6);
    // An empty scene: the point the trackball turns about, on the line of sight and not 1e30 away.
    const osg::Vec3d centre =
        dynamic_cast<osgGA::OrbitManipulator*>(window.view()->getCameraManipulator())->getCenter();
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(dialog->values[3 + axis], centre[axis], 1e-6) << "axis " << axis;
    }
    EXPECT_LT((centre - osg::Vec3d(483426, 3434170, 16660.2)).length(), 1e6);
    // Eye, centre and up on three lines, then the look distance and an empty line.
    const QStringList lines = QString::fromStdString(printed).split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], "483426 3.43417e+06 16660.2");
    EXPECT_EQ(lines[3], "2.93713e+30");
    EXPECT_EQ(lines[4], "");
}

TEST_F(CameraDialogTest, EveryOpenDialogTakesTheLatestReading) {
    look({1000, 2000, 3000}, {1000, 2000, 0}, {0, 1, 0});
    triggerMenuAction(window, "&获取相机参数");
    look({-250.125, 40, 500}, {0, 0, 0}, {0, 0, 1});
    triggerMenuAction(window, "&获取相机参数");
    const std::vector<GetCameraPose*> dialogs = shownDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(fieldTexts(*dialogs[0]), fieldTexts(*dialogs[1]));
    EXPECT_EQ(fieldTexts(*dialogs[0]).mid(0, 3), QStringList({"-250.13", "40.00", "500.00"}));

    // A closed dialog is gone; the other one goes on taking readings.
    dialogs[0]->close();
    look({7, 8, 9}, {7, 8, 0}, {0, 1, 0});
    triggerMenuAction(window, "&获取相机参数");
    runEventLoop(100);
    ASSERT_EQ(shownDialogs().size(), 2u);
    for (GetCameraPose* dialog : shownDialogs()) {
        EXPECT_EQ(fieldTexts(*dialog).mid(0, 3), QStringList({"7.00", "8.00", "9.00"}));
    }
}

TEST(CameraDialog, FieldsAndLabelsHaveTheirPlaces) {
    GetCameraPose dialog;
    dialog.show();
    ASSERT_TRUE(waitUntil([&] { return dialog.isVisible(); }));
    EXPECT_EQ(dialog.size(), QSize(735, 220));
    const struct {
        const char* name;
        QRect geometry;
        const char* text;  // as shown, for labels
    } widgets[] = {
        {"label", {60, 20, 61, 41}, "eye:"},     {"label_2", {20, 80, 101, 41}, "center:"},
        {"label_3", {70, 140, 41, 41}, "up:"},   {"label_4", {140, 30, 21, 31}, "X"},
        {"label_9", {140, 90, 21, 31}, "X"},     {"label_12", {140, 150, 21, 31}, "X"},
        {"label_5", {340, 30, 21, 31}, "Y"},     {"label_8", {340, 90, 21, 31}, "Y"},
        {"label_11", {340, 150, 21, 31}, "Y"},   {"label_6", {540, 30, 21, 31}, "Z"},
        {"label_7", {540, 90, 21, 31}, "Z"},     {"label_10", {540, 150, 21, 31}, "Z"},
        {"textEdit", {170, 30, 111, 31}, ""},    {"textEdit_2", {370, 30, 111, 31}, ""},
        {"textEdit_3", {570, 30, 111, 31}, ""},  {"textEdit_5", {170, 90, 111, 31}, ""},
        {"textEdit_6", {370, 90, 111, 31}, ""},  {"textEdit_4", {570, 90, 111, 31}, ""},
        {"textEdit_8", {170, 150, 111, 31}, ""}, {"textEdit_9", {370, 150, 111, 31}, ""},
        {"textEdit_7", {570, 150, 111, 31}, ""},
    };
    for (const auto& w : widgets) {
        SCOPED_TRACE(w.name);
        auto* widget = dialog.findChild<QWidget*>(w.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), w.geometry);
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QTextDocument shown;
            shown.setHtml(label->text());
            EXPECT_EQ(shown.toPlainText(), w.text);
            // The whole text fits the label with the fonts installed here.
            EXPECT_LE(label->sizeHint().width(), w.geometry.width());
            EXPECT_LE(label->sizeHint().height(), w.geometry.height());
        }
    }
}

}  // namespace
