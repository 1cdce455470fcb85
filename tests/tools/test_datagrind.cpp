// Datagrind, the data tool's dialog, used as a user would: choose a DEM, look at its preview, click the
// dam onto it, name the case and make it; and the messages for input it cannot use.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "datagrinddialog.h"
#include "modaldriver.h"
#include "scenelist.h"
#include "testfiles.h"
#include "testrasters.h"

namespace {

constexpr int size = 60;
constexpr double cell = 20;
constexpr double west = 400000;
constexpr double north = 3300000;

// A valley down the grid's middle column that drains south, in UTM zone 48N (none for `epsg` 0).
void writeValley(const std::string& path, int epsg) {
    std::vector<double> heights;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            heights.push_back(500 + 0.02 * (size - row) * cell + 0.15 * std::abs(column - size / 2) * cell);
        }
    }
    writeTestRaster(path, size, size, heights, std::array<double, 6>{west, cell, 0, north, 0, -cell}, epsg);
}

class DatagrindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        writeValley(path("valley.tif"), 32648);
        writeValley(path("no-crs.tif"), 0);
        dialog = std::make_unique<DatagrindDialog>(QString::fromStdString(path("TreeMeta.json")));
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    std::string path(const std::string& name) const {
        return folder.filePath(QString::fromStdString(name)).toStdString();
    }
    QLineEdit* field(const char* name) const { return dialog->findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    // Clicks `name` and answers the message box it shows; its title and text.
    std::pair<QString, QString> clickAndRead(const char* name) {
        ModalDriver box(clickButton("OK"), 60000);
        button(name)->click();
        EXPECT_TRUE(box.answered()) << name;
        return {box.title(), box.text()};
    }

    QTemporaryDir folder;
    std::unique_ptr<DatagrindDialog> dialog;
};

TEST_F(DatagrindTest, DamClickedOnThePreviewMakesACaseInTheSceneList) {
    field("demField")->setText(QString::fromStdString(path("valley.tif")));
    button("previewButton")->click();
    auto* preview = dialog->findChild<DemPreview*>("preview");
    ASSERT_NE(preview, nullptr);
    ASSERT_FALSE(preview->pixmap(Qt::ReturnByValue).isNull());
    EXPECT_TRUE(dialog->findChild<QLabel*>("status")->text().contains("60 x 60"));

    // The valley's floor, a third of the way down.
    const double damX = west + (size / 2 + 0.5) * cell;
    const double damY = north - (size / 3 + 0.5) * cell;
    QTest::mouseClick(preview, Qt::LeftButton, Qt::NoModifier, preview->pixelOf(damX, damY));
    EXPECT_NEAR(field("damX1")->text().toDouble(), damX, cell);
    EXPECT_NEAR(field("damY1")->text().toDouble(), damY, cell);
    EXPECT_TRUE(field("damX2")->text().isEmpty());

    field("nameField")->setText("我的山谷");
    field("folderField")->setText(QString::fromStdString(path("my valley")));
    const auto [title, text] = clickAndRead("makeButton");
    EXPECT_EQ(title, "说明");
    EXPECT_TRUE(text.contains("已生成")) << text.toStdString();
    EXPECT_TRUE(text.contains("vantorel-batch flood")) << text.toStdString();
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("my valley/configXML.xml"))));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("my valley/Disaster_DiXing/terrain.ive"))));
    const std::list<FileManage> scenes = readSceneList(QString::fromStdString(path("TreeMeta.json")));
    ASSERT_EQ(scenes.size(), 1u);
    EXPECT_EQ(scenes.front().name, "我的山谷");
    EXPECT_EQ(scenes.front().path.toStdString(), path("my valley"));

    // Shift and a click sets the other end of a dam line.
    QTest::mouseClick(preview, Qt::LeftButton, Qt::ShiftModifier, preview->pixelOf(damX + 200, damY));
    EXPECT_NEAR(field("damX2")->text().toDouble(), damX + 200, cell);
    EXPECT_NEAR(field("damX1")->text().toDouble(), damX, cell);
}

TEST_F(DatagrindTest, InputItCannotUseIsNamedInAMessage) {
    field("nameField")->setText("case");
    field("folderField")->setText(QString::fromStdString(path("case")));
    const struct {
        const char* dem;
        const char* dam[2];
        std::string message;
    } cases[] = {
        {"valley.tif", {"", ""}, "请给出坝址"},
        {"valley.tif", {"400610", "north"}, "坝址坐标“north”不是数字"},
        {"no-crs.tif", {"400610", "3299330"}, "the DEM \"" + path("no-crs.tif") + "\" has no coordinate system"},
        {"valley.tif", {"100", "3299330"}, "the dam point (100.00, 3299330.00) lies outside the DEM"},
    };
    for (const auto& c : cases) {
        field("demField")->setText(QString::fromStdString(path(c.dem)));
        field("damX1")->setText(c.dam[0]);
        field("damY1")->setText(c.dam[1]);
        const auto [title, text] = clickAndRead("makeButton");
        EXPECT_EQ(title, "Warning") << c.message;
        EXPECT_TRUE(text.toStdString().find(c.message) != std::string::npos) << text.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("TreeMeta.json"))));

    // The preview says the same of a DEM it cannot show.
    field("demField")->setText(QString::fromStdString(path("no-crs.tif")));
    const auto [title, text] = clickAndRead("previewButton");
    EXPECT_TRUE(text.contains("has no coordinate system")) << text.toStdString();
}

}  // namespace
