// The debris-flow parameter form, driven as a user would: its widgets, the file choices and their order,
// clearing, the fifteen values of a calculation, the start of a replay, and what it builds for the run.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <osg/MatrixTransform>
#include <osgSim/ScalarBar>
#include <string>
#include <vector>

#include "debrisflow.h"
#include "modaldriver.h"
#include "testfiles.h"

namespace {

const char* const pathBoxes[] = {"lineEdit_12", "lineEdit_13", "lineEdit_14"};

class DebrisFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        form = std::make_unique<DebrisFlow>();
        DebrisFlow* f = form.get();
        QObject::connect(f, &DebrisFlow::sendURL, [this](std::vector<std::string> list) {
            emitted.push_back("sendURL");
            sentFiles = list;
        });
        QObject::connect(f, &DebrisFlow::senddebrisValudes, [this](DebrisRunSettings values) {
            emitted.push_back("senddebrisValudes");
            sentValues = values.parameters();
        });
        QObject::connect(f, &DebrisFlow::sendStart,
                         [this](int flag) { emitted.push_back("sendStart(" + std::to_string(flag) + ")"); });
        QObject::connect(f, &DebrisFlow::sendScenePath, [this](std::string path) {
            emitted.push_back("sendScenePath");
            sentScene = path;
        });
        show();
    }

    void show() {
        form->show();
        ASSERT_TRUE(waitUntil([this] { return form->isVisible(); }));
    }

    QString file(const QString& relative) {
        const QString path = folder.path() + "/" + relative;
        writeTextFile(path.toStdString(), "1\n");
        return path;
    }

    template <typename T>
    T* child(const char* name) {
        T* found = form->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    // Clicks `button` and answers the file dialog it opens with `path`.
    void choose(const char* button, const QString& path) {
        ASSERT_TRUE(pressAndChoose(child<QPushButton>(button), path)) << button << " opened no file dialog";
    }
    void chooseInputs() {
        choose("pushButton", grid);
        choose("pushButton_8", breach);
    }

    // Clicks `button`; a file dialog it opens is cancelled, a message box confirmed with OK.
    PressOutcome clickAndCancel(const char* button) { return pressAndCancel(child<QPushButton>(button)); }

    std::vector<QString> boxTexts() {
        std::vector<QString> texts;
        for (const char* box : pathBoxes) {
            texts.push_back(edit(box)->text());
        }
        return texts;
    }

    QTemporaryDir folder;
    std::unique_ptr<DebrisFlow> form;
    std::vector<std::string> emitted;
    std::vector<std::string> sentFiles;
    std::vector<double> sentValues;
    std::string sentScene;

    const QString grid = file("grids/dem.asc");
    const QString breach = file("grids/breach.txt");
};

TEST_F(DebrisFormTest, WidgetsHaveTheirPlacesTextsAndDefaults) {
    EXPECT_EQ(form->objectName(), "DebrisFlow");
    EXPECT_EQ(form->windowTitle(), "Form");
    EXPECT_EQ(form->size(), QSize(472, 464));
    auto* panel = child<QWidget>("widget");
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 591, 441));
    EXPECT_EQ(panel->styleSheet(), "background-color: rgb(230, 230, 230);");
    auto* group = child<QGroupBox>("groupBox");
    EXPECT_EQ(group->parentWidget(), panel);
    EXPECT_EQ(group->geometry(), QRect(10, 10, 481, 181));
    EXPECT_EQ(group->title(), "泥石流参数设置");

    const struct {
        const char* name;
        QWidget* parent;
        QRect geometry;
        const char* text;
    } widgets[] = {
        {"label", group, {10, 30, 161, 21}, "泥石流一次冲出总量(立方米)："},
        {"lineEdit", group, {180, 30, 113, 20}, "2040000"},
        {"label_9", group, {310, 30, 81, 21}, "计算时间间隔："},
        {"label_2", group, {20, 70, 141, 21}, "泥石流最大淤积厚度(米)："},
        {"lineEdit_2", group, {170, 70, 113, 20}, "5.0"},
        {"label_3", group, {20, 100, 131, 16}, "流团体积大小(立方米)："},
        {"lineEdit_3", group, {160, 100, 113, 20}, "40.0"},
        {"label_4", group, {10, 140, 111, 16}, "颜色显示范围(米)："},
        {"lineEdit_4", group, {130, 140, 31, 20}, "0"},
        {"label_5", group, {170, 140, 51, 16}, "————"},
        {"lineEdit_5", group, {230, 140, 31, 20}, "10"},
        {"lineEdit_12", panel, {20, 210, 301, 20}, ""},
        {"pushButton", panel, {330, 210, 131, 23}, "加载灾后DEM数据"},
        {"lineEdit_13", panel, {20, 270, 301, 20}, ""},
        {"pushButton_8", panel, {330, 270, 131, 23}, "加载溃口信息文件"},
        {"lineEdit_14", panel, {20, 320, 301, 20}, ""},
        {"pushButton_7", panel, {330, 320, 131, 23}, "加载场景模型"},
        {"pushButton_4", panel, {60, 380, 91, 23}, "清空设置"},
        {"pushButton_5", panel, {180, 380, 91, 23}, "开始计算"},
        {"pushButton_6", panel, {310, 380, 91, 23}, "开始演进"},
    };
    for (const auto& w : widgets) {
        SCOPED_TRACE(w.name);
        QWidget* widget = child<QWidget>(w.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), w.parent);
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
            // A label shows its whole text with the fonts installed here: where the designed width is too
            // narrow the label is wider, never clipped.
            EXPECT_EQ(widget->pos(), w.geometry.topLeft());
            EXPECT_EQ(widget->height(), w.geometry.height());
            EXPECT_GE(widget->width(), w.geometry.width());
            EXPECT_GE(widget->width(), label->sizeHint().width());
        } else {
            // A field beside a widened label moves right by as much; it keeps its row and size.
            EXPECT_EQ(widget->y(), w.geometry.y());
            EXPECT_EQ(widget->size(), w.geometry.size());
            EXPECT_GE(widget->x(), w.geometry.x());
            EXPECT_LE(widget->x(), w.geometry.x() + 16);
            if (auto* box = qobject_cast<QLineEdit*>(widget)) {
                text = box->text();
                EXPECT_EQ(box->validator(), nullptr);
                EXPECT_TRUE(box->inputMask().isEmpty());
            } else {
                text = qobject_cast<QPushButton*>(widget)->text();
                // Its whole text shows.
                EXPECT_GE(widget->width(), widget->sizeHint().width());
            }
        }
        EXPECT_EQ(text, QString(w.text));
    }
    // No label reaches into the field beside it, and the row stays inside its group.
    for (const auto& [label, field] : {std::pair{"label", "lineEdit"},
                                       {"lineEdit", "label_9"},
                                       {"label_9", "comboBox"},
                                       {"label_2", "lineEdit_2"},
                                       {"label_3", "lineEdit_3"},
                                       {"label_4", "lineEdit_4"},
                                       {"lineEdit_4", "label_5"},
                                       {"label_5", "lineEdit_5"}}) {
        EXPECT_LT(child<QWidget>(label)->geometry().right(), child<QWidget>(field)->geometry().left())
            << label;
    }
    EXPECT_LT(child<QWidget>("comboBox")->geometry().right(), group->contentsRect().right());

    auto* combo = child<QComboBox>("comboBox");
    EXPECT_EQ(combo->y(), 30);
    EXPECT_EQ(combo->size(), QSize(60, 22));
    // The whole time step shows, not "0.(".
    EXPECT_GE(combo->width(), combo->sizeHint().width());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
        EXPECT_FALSE(combo->itemData(i).isValid());
    }
    EXPECT_EQ(items, QStringList({"0.2", "0.4", "0.6", "0.8"}));
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_TRUE(form->urlList.empty());
    EXPECT_TRUE(form->debrisValues.empty());
}

// The main window connects these by their normalised signatures.
TEST_F(DebrisFormTest, SignalsHaveTheSignaturesTheMainWindowConnects) {
    const QMetaObject* meta = form->metaObject();
    std::vector<QByteArray> signatures;
    for (int index = meta->methodOffset(); index < meta->methodCount(); ++index) {
        if (meta->method(index).methodType() == QMetaMethod::Signal) {
            signatures.push_back(meta->method(index).methodSignature());
        }
    }
    EXPECT_EQ(signatures,
              (std::vector<QByteArray>{"senddebrisValudes(DebrisRunSettings)", "sendStart(int)",
                                       "sendURL(std::vector<std::string>)", "sendScenePath(std::string)"}));
}

TEST_F(DebrisFormTest, FileButtonsRefuseTheBreachFirstAndWarnWhenCancelled) {
    const struct {
        bool gridChosen;
        const char* button;
        bool fileDialog;
        QString warning;
    } cases[] = {
        {false, "pushButton_8", false, "请先加dem数据"}, {false, "pushButton", true, "请选择正确文件"},
        {true, "pushButton", true, "请选择正确文件"},    {true, "pushButton_8", true, "请选择正确文件"},
        {false, "pushButton_7", true, "请选择正确文件"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + (c.gridChosen ? " after the grid" : ""));
        click("pushButton_4");
        if (c.gridChosen) {
            choose("pushButton", grid);
        }
        emitted.clear();
        const std::vector<std::string> listBefore = form->urlList;
        const std::vector<QString> boxesBefore = boxTexts();
        const PressOutcome outcome = clickAndCancel(c.button);
        EXPECT_EQ(outcome.fileDialogShown, c.fileDialog);
        EXPECT_EQ(outcome.warning, c.warning);
        EXPECT_EQ(outcome.warningTitle, "Warning");
        EXPECT_EQ(form->urlList, listBefore);
        EXPECT_EQ(boxTexts(), boxesBefore);
        EXPECT_TRUE(emitted.empty());
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(DebrisFormTest, ASecondGridReplacesTheFirstAndTheBreachKeepsItsPlace) {
    chooseInputs();
    EXPECT_EQ(form->urlList, (std::vector<std::string>{grid.toStdString(), breach.toStdString()}));
    const QString otherGrid = file("grids/dem2.asc");
    choose("pushButton", otherGrid);
    EXPECT_EQ(form->urlList, (std::vector<std::string>{otherGrid.toStdString(), breach.toStdString()}));
    EXPECT_EQ(boxTexts(), (std::vector<QString>{otherGrid, breach, ""}));

    // The scene model is sent at once.
    const QString scene = file("scene/terrain.ive");
    choose("pushButton_7", scene);
    EXPECT_EQ(emitted, std::vector<std::string>{"sendScenePath"});
    EXPECT_EQ(sentScene, scene.toStdString());
    EXPECT_EQ(form->sceneFile, scene.toStdString());
    EXPECT_EQ(edit("lineEdit_14")->text(), scene);
}

TEST_F(DebrisFormTest, CalculateSendsTheFilesThenTheFifteenValues) {
    const struct {
        const char* what;
        const char* volume;
        const char* packetVolume;
        const char* lower;
        int timeStepIndex;
        std::vector<double> values;
    } cases[] = {
        {"the defaults",
         "2040000",
         "40.0",
         "0",
         2,
         {2040000, 5.0, 0, 1880, 2650, 0.36, 0, 40, 1000, 0.593, 11.64, 0.25, 0.6, 0, 10}},
        // Pressed again with other values: the list is rebuilt, not appended to.
        {"other values",
         "8000",
         "20",
         "2",
         0,
         {8000, 5.0, 0, 1880, 2650, 0.36, 0, 20, 1000, 0.593, 11.64, 0.25, 0.2, 2, 10}},
        // Not checked: a packet volume that is no number goes out as 0, a colour bound as its whole part.
        {"text that is no number",
         "8000",
         "abc",
         "1.5",
         3,
         {8000, 5.0, 0, 1880, 2650, 0.36, 0, 0, 1000, 0.593, 11.64, 0.25, 0.8, 0, 10}},
    };
    chooseInputs();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        show();
        emitted.clear();
        edit("lineEdit")->setText(c.volume);
        edit("lineEdit_3")->setText(c.packetVolume);
        edit("lineEdit_4")->setText(c.lower);
        child<QComboBox>("comboBox")->setCurrentIndex(c.timeStepIndex);
        click("pushButton_5");
        EXPECT_EQ(emitted, (std::vector<std::string>{"sendURL", "senddebrisValudes"}));
        EXPECT_EQ(sentFiles, (std::vector<std::string>{grid.toStdString(), breach.toStdString()}));
        EXPECT_EQ(sentValues, c.values);
        EXPECT_EQ(form->debrisValues, c.values);
        EXPECT_FALSE(form->isVisible());
    }
}

TEST_F(DebrisFormTest, CalculateRefusesMissingFilesAndParameters) {
    const struct {
        const char* what;
        bool withFiles;
        const char* emptied;
        QString warning;
    } cases[] = {
        {"no files", false, nullptr, "未填写文件"},
        {"no volume", true, "lineEdit", "Please input parameters"},
        {"no outlet depth", true, "lineEdit_2", "Please input parameters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        form = std::make_unique<DebrisFlow>();
        show();
        if (c.withFiles) {
            chooseInputs();
        }
        if (c.emptied) {
            edit(c.emptied)->clear();
        }
        ModalDriver box(clickButton("OK"), 15000, "QMessageBox");
        click("pushButton_5");
        ASSERT_TRUE(box.answered());
        EXPECT_EQ(box.text(), c.warning);
        EXPECT_EQ(box.title(), "Warning");
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_TRUE(emitted.empty());
}

TEST_F(DebrisFormTest, ClearEmptiesTheFilesVolumeAndDepthOnly) {
    chooseInputs();
    choose("pushButton_7", file("scene/terrain.ive"));
    edit("lineEdit_3")->setText("30");
    child<QComboBox>("comboBox")->setCurrentIndex(1);
    click("pushButton_5");
    show();
    click("pushButton_4");
    EXPECT_EQ(boxTexts(), std::vector<QString>(3));
    EXPECT_TRUE(edit("lineEdit")->text().isEmpty());
    EXPECT_TRUE(edit("lineEdit_2")->text().isEmpty());
    EXPECT_TRUE(form->urlList.empty());
    EXPECT_TRUE(form->debrisValues.empty());
    EXPECT_EQ(edit("lineEdit_3")->text(), "30");
    EXPECT_EQ(edit("lineEdit_4")->text(), "0");
    EXPECT_EQ(edit("lineEdit_5")->text(), "10");
    EXPECT_EQ(child<QComboBox>("comboBox")->currentText(), "0.4");
}

TEST_F(DebrisFormTest, StartEvolutionClosesAndAsksForADebrisReplay) {
    click("pushButton_6");
    EXPECT_EQ(emitted, std::vector<std::string>{"sendStart(2)"});
    EXPECT_FALSE(form->isVisible());
}

TEST_F(DebrisFormTest, ColoursLegendAndHeightsComeFromTheForm) {
    EXPECT_EQ(form->shallowColour, debrisShallowColour);
    EXPECT_EQ(form->deepColour, debrisDeepColour);
    form->shallowColour = osg::Vec4(1, 1, 1, 1);
    form->deepColour = osg::Vec4(0, 0, 0, 1);
    EXPECT_EQ(form->depthColour(4.5f, 10), osg::Vec4(0.5f, 0.5f, 0.5f, 1));

    // The legend bar paints the form's two colours over the range.
    const osg::ref_ptr<osg::Projection> legend = form->legendBar(2, 12);
    // Under the transform that anchors it to a corner of the view.
    osg::Group* anchor = legend->getChild(0)->asGroup();
    ASSERT_TRUE(anchor && anchor->getNumChildren() == 1);
    auto* placement = dynamic_cast<osg::MatrixTransform*>(anchor->getChild(0));
    ASSERT_NE(placement, nullptr);
    auto* bar = dynamic_cast<osgSim::ScalarBar*>(placement->getChild(0));
    ASSERT_NE(bar, nullptr);
    const auto* colours = dynamic_cast<const osgSim::ColorRange*>(bar->getScalarsToColors());
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->getMin(), 2.0f);
    EXPECT_EQ(colours->getMax(), 12.0f);
    EXPECT_EQ(colours->getColor(2), osg::Vec4(1, 1, 1, 1));
    EXPECT_EQ(colours->getColor(12), osg::Vec4(0, 0, 0, 1));

    const QString heights = folder.path() + "/heights.asc";
    writeTextFile(heights.toStdString(), "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 10\n1  2 3\n");
    EXPECT_EQ(form->readHeights(heights.toStdString()), (TerrainHeights{{1, 2, 3}}));
}

}  // namespace
