// The flood parameter form, driven as a user would: its widgets, the file choices and their warnings,
// the width preset, clean, calculate, simulation and scene, and the depth colours it owns.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
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

#include "floodform.h"
#include "modaldriver.h"
#include "testfiles.h"

namespace {

const char* const pathBoxes[] = {"lineEdit_4", "lineEdit_5", "lineEdit_6",
                                 "lineEdit_7", "lineEdit_8", "lineEdit_9"};

class FloodFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        newForm();
    }

    // A fresh form, shown, with its signals recorded.
    void newForm() {
        form = std::make_unique<FloodForm>();
        emitted.clear();
        FloodForm* f = form.get();
        QObject::connect(f, &FloodForm::sendURL, [this](std::vector<std::string> list) {
            emitted.push_back("sendURL");
            sentFiles = list;
        });
        QObject::connect(f, &FloodForm::sendfloodValues, [this](FloodFormValues values) {
            emitted.push_back("sendfloodValues");
            sentValues = values;
        });
        QObject::connect(f, &FloodForm::transmitSignals, [this](bool flag) {
            emitted.push_back("transmitSignals(" + std::to_string(flag) + ")");
        });
        QObject::connect(f, &FloodForm::sendStart,
                         [this](int flag) { emitted.push_back("sendStart(" + std::to_string(flag) + ")"); });
        QObject::connect(f, &FloodForm::sendScenePath, [this](std::string path) {
            emitted.push_back("sendScenePath");
            sentScene = path;
        });
        show();
    }

    void show() {
        form->show();
        ASSERT_TRUE(waitUntil([this] { return form->isVisible(); }));
    }

    // A file below the test folder, with some content.
    QString file(const QString& relative, const std::string& content = "1\n") {
        const QString path = folder.path() + "/" + relative;
        writeTextFile(path.toStdString(), content);
        return path;
    }

    template <typename T>
    T* child(const char* name) {
        T* found = form->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QDoubleSpinBox* spin(const char* name) { return child<QDoubleSpinBox>(name); }
    QComboBox* combo(const char* name) { return child<QComboBox>(name); }

    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }

    // Clicks `button` and answers the file dialog it opens with `path`.
    void choose(const char* button, const QString& path) {
        ASSERT_TRUE(pressAndChoose(child<QPushButton>(button), path)) << button << " opened no file dialog";
    }

    // Chooses the first `count` of roughness, elevation and outbreak file, in that order.
    void chooseInputs(int count = 3, const QString& outbreakFile = QString()) {
        const char* buttons[] = {"pushButton_6", "pushButton_7", "pushButton_8"};
        const QString files[] = {roughness, elevation, outbreakFile.isEmpty() ? outbreak : outbreakFile};
        for (int index = 0; index < count; ++index) {
            choose(buttons[index], files[index]);
        }
    }

    // Clicks `button`; a file dialog it opens is cancelled, a message box confirmed with OK.
    PressOutcome clickAndCancel(const char* button) { return pressAndCancel(child<QPushButton>(button)); }

    static std::vector<std::string> paths(std::initializer_list<QString> files) {
        std::vector<std::string> list;
        for (const QString& path : files) {
            list.push_back(path.toStdString());
        }
        return list;
    }
    std::vector<QString> boxTexts() {
        std::vector<QString> texts;
        for (const char* box : pathBoxes) {
            texts.push_back(edit(box)->text());
        }
        return texts;
    }

    QTemporaryDir folder;
    std::unique_ptr<FloodForm> form;
    std::vector<std::string> emitted;
    std::vector<std::string> sentFiles;
    FloodFormValues sentValues;
    std::string sentScene;

    const QString roughness = file("grids/n.asc");
    const QString elevation = file("grids/dem.asc");
    const QString outbreak = file("grids/outbreak.txt");
    const QString monitors = file("vector/monitors.shp");
};

TEST_F(FloodFormTest, StartsWithTheDefaults) {
    EXPECT_EQ(edit("lineEdit")->text(), "100000000");
    EXPECT_EQ(edit("lineEdit_2")->text(), "0");
    EXPECT_EQ(edit("lineEdit_3")->text(), "20");
    EXPECT_EQ(boxTexts(), std::vector<QString>(std::size(pathBoxes)));
    EXPECT_TRUE(form->urlList.empty());

    const struct {
        const char* name;
        double value, minimum, maximum, step;
        const char* text;
    } spins[] = {{"doubleSpinBox", 133, 0, 200, 0.5, "133.00"},
                 {"doubleSpinBox_2", 47.5, 0, 99.99, 0.5, "47.50"},
                 {"doubleSpinBox_3", 12, 0.01, 1000, 1, "12.00"},
                 {"doubleSpinBox_4", 0, 0, 86400, 60, "every 5 steps"}};
    for (const auto& s : spins) {
        SCOPED_TRACE(s.name);
        const QDoubleSpinBox* box = spin(s.name);
        EXPECT_DOUBLE_EQ(box->value(), s.value);
        EXPECT_DOUBLE_EQ(box->minimum(), s.minimum);
        EXPECT_DOUBLE_EQ(box->maximum(), s.maximum);
        EXPECT_DOUBLE_EQ(box->singleStep(), s.step);
        EXPECT_EQ(box->text(), s.text);
    }

    const std::pair<const char*, QStringList> combos[] = {
        {"comboBox", {"Total Break", "二分之一溃", "三分之一溃", "五分之一溃", "十分之一溃"}},
        {"comboBox_2", {".ive", ".3ds", ".tif"}}};
    for (const auto& [name, items] : combos) {
        QStringList shown;
        for (int index = 0; index < combo(name)->count(); ++index) {
            shown << combo(name)->itemText(index);
        }
        EXPECT_EQ(shown, items) << name;
        EXPECT_EQ(combo(name)->currentIndex(), 0) << name;
    }
}

// The main window connects these by their normalised signatures.
TEST_F(FloodFormTest, EveryTextFitsItsWidgetInTheWindowsSize) {
    // The size the main window fixes.
    form->setFixedSize(496, 535);
    const QRect formArea(0, 0, 496, 535);
    const QList<QWidget*> widgets = form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QList<QWidget*> fields;
    for (QWidget* background : widgets) {
        fields += background->findChildren<QWidget*>();
    }
    fields += form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    int checked = 0;
    for (QWidget* field : fields) {
        if (!qobject_cast<QLabel*>(field) && !qobject_cast<QAbstractButton*>(field) &&
            !qobject_cast<QComboBox*>(field) && !qobject_cast<QAbstractSpinBox*>(field)) {
            continue;
        }
        SCOPED_TRACE(field->objectName().toStdString());
        ++checked;
        EXPECT_GE(field->width(), field->sizeHint().width()) << "clipped text";
        EXPECT_GE(field->height(), field->sizeHint().height() - 2);
        const QRect onForm(field->mapTo(form.get(), QPoint(0, 0)), field->size());
        EXPECT_TRUE(formArea.contains(onForm)) << "outside the form";
        // No field covers another of the same box.
        for (QWidget* other :
             field->parentWidget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != field && other->parentWidget() == field->parentWidget() &&
                other->objectName() != "widget" && !other->objectName().startsWith("qt_")) {
                EXPECT_FALSE(field->geometry().intersects(other->geometry()))
                    << other->objectName().toStdString();
            }
        }
    }
    // Ten labels, nine buttons, two combo boxes and four spin boxes.
    EXPECT_GE(checked, 25);
}

TEST_F(FloodFormTest, SignalsHaveTheSignaturesTheMainWindowConnects) {
    const QMetaObject* meta = form->metaObject();
    std::vector<QByteArray> signatures;
    for (int index = meta->methodOffset(); index < meta->methodCount(); ++index) {
        if (meta->method(index).methodType() == QMetaMethod::Signal) {
            signatures.push_back(meta->method(index).methodSignature());
        }
    }
    EXPECT_EQ(signatures,
              (std::vector<QByteArray>{"transmitSignals(bool)", "sendfloodValues(FloodFormValues)",
                                       "sendStart(int)", "sendURL(std::vector<std::string>)",
                                       "sendScenePath(std::string)"}));
}

TEST_F(FloodFormTest, FileButtonsRefuseOutOfOrderAndWarnWhenCancelled) {
    const struct {
        int chosenBefore;  // how many of roughness, elevation, outbreak are chosen first
        const char* button;
        bool fileDialog;
        QString warning;
    } cases[] = {
        {0, "pushButton_7", false, "请先加载糙率文件"},
        {0, "pushButton_8", false, "请先加载dem文件"},
        {1, "pushButton_8", false, "请先加载dem文件"},
        {0, "pushButton_6", true, "请选择正确文件"},
        {1, "pushButton_6", true, "请选择正确文件"},
        {1, "pushButton_7", true, "请选择正确文件"},
        {2, "pushButton_8", true, "请选择正确文件"},
        {0, "pushButton_5", true, "请选择正确文件"},
        {3, "pushButton_9", true, ""},  // the monitor points are optional
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " after " + std::to_string(c.chosenBefore) + " files");
        newForm();
        chooseInputs(c.chosenBefore);
        const std::vector<std::string> listBefore = form->urlList;
        const std::vector<QString> boxesBefore = boxTexts();

        const PressOutcome outcome = clickAndCancel(c.button);
        EXPECT_EQ(outcome.fileDialogShown, c.fileDialog);
        EXPECT_EQ(outcome.warning, c.warning);
        EXPECT_EQ(outcome.warningTitle, c.warning.isEmpty() ? "" : "Warning");
        EXPECT_EQ(form->urlList, listBefore);
        EXPECT_EQ(boxTexts(), boxesBefore);
        EXPECT_TRUE(emitted.empty());
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(FloodFormTest, ChosenFilesKeepTheirPlacesWhateverTheOrderAndChoosingAgainReplaces) {
    choose("pushButton_9", monitors);
    chooseInputs();
    EXPECT_EQ(form->urlList, paths({roughness, elevation, outbreak, monitors}));
    EXPECT_EQ(boxTexts(), (std::vector<QString>{roughness, elevation, outbreak, "", monitors, ""}));

    const QString otherRoughness = file("grids/n2.asc");
    const QString otherElevation = file("grids/dem2.asc");
    choose("pushButton_6", otherRoughness);
    choose("pushButton_7", otherElevation);
    EXPECT_EQ(form->urlList, paths({otherRoughness, otherElevation, outbreak, monitors}));
    EXPECT_EQ(edit("lineEdit_4")->text(), otherRoughness);

    // The monitor file chosen first still reaches the run last.
    click("pushButton_3");
    EXPECT_EQ(sentFiles, paths({otherRoughness, otherElevation, outbreak, monitors}));
}

TEST_F(FloodFormTest, OutbreakFolderPresetsTheWidth) {
    const struct {
        const char* folderName;
        const char* content;  // nullptr: no HNW.txt
        double width;
    } cases[] = {
        {"none", nullptr, 133},    {"plain", "88.5", 88.5}, {"line", "88.5\r\n", 88.5},
        {"integer", " 120 ", 120}, {"word", "wide", 133},   {"empty", "", 133},
        {"too wide", "250", 133},  {"negative", "-4", 133},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folderName);
        newForm();
        const QString dir = QString("outbreak/") + c.folderName;
        if (c.content) {
            file(dir + "/HNW.txt", c.content);
        }
        chooseInputs(3, file(dir + "/info.txt"));
        EXPECT_DOUBLE_EQ(spin("doubleSpinBox")->value(), c.width);
        // A preset says so beside the field, naming the file, until the user sets a width.
        const QLabel* note = child<QLabel>("label_12");
        EXPECT_EQ(note->text().contains("HNW.txt"), c.width != 133) << note->text().toStdString();
        EXPECT_EQ(note->toolTip() == folder.path() + "/" + dir + "/HNW.txt", c.width != 133);
        EXPECT_GE(note->width(), note->sizeHint().width()) << "clipped";
        spin("doubleSpinBox")->setValue(90);
        EXPECT_TRUE(child<QLabel>("label_12")->text().isEmpty());
    }
}

TEST_F(FloodFormTest, CleanEmptiesThePathsAndKeepsTheSettings) {
    chooseInputs();
    choose("pushButton_9", monitors);
    choose("pushButton_10", monitors);
    choose("pushButton_5", file("scene/valley.ive"));
    spin("doubleSpinBox")->setValue(150);
    spin("doubleSpinBox_2")->setValue(30);
    edit("lineEdit_2")->setText("2");
    edit("lineEdit_3")->setText("12");
    combo("comboBox")->setCurrentIndex(3);
    combo("comboBox_2")->setCurrentIndex(2);

    click("pushButton_2");
    EXPECT_TRUE(edit("lineEdit")->text().isEmpty());
    EXPECT_EQ(boxTexts(), std::vector<QString>(std::size(pathBoxes)));
    EXPECT_TRUE(form->urlList.empty());
    EXPECT_DOUBLE_EQ(spin("doubleSpinBox")->value(), 150);
    EXPECT_DOUBLE_EQ(spin("doubleSpinBox_2")->value(), 30);
    EXPECT_EQ(edit("lineEdit_2")->text(), "2");
    EXPECT_EQ(edit("lineEdit_3")->text(), "12");
    EXPECT_EQ(combo("comboBox")->currentText(), "五分之一溃");
    EXPECT_EQ(combo("comboBox_2")->currentText(), ".tif");

    EXPECT_EQ(clickAndCancel("pushButton_3").warning, "未填写文件");
    EXPECT_EQ(emitted, std::vector<std::string>{"sendScenePath"});
}

TEST_F(FloodFormTest, CalculateRefusesWithoutFilesOrParameters) {
    // A value that was typed but cannot be used is refused by the name of its field.
    const QString capacityProblem = "Reservoir Capacity(m^3): please enter a number greater than 0.";
    const QString wholeNumbersProblem =
        "Range of colour corresponding to depth: please enter two whole numbers.";
    const QString reversedProblem =
        "Range of colour corresponding to depth: the first number must be less than the second.";
    const struct {
        int files;
        const char *capacity, *lower, *upper;
        QString warning;
        std::string format;  // taken from the format box before the parameters are checked
    } cases[] = {
        {0, "100000000", "0", "20", "未填写文件", ".ive"},
        {2, "100000000", "0", "20", "未填写文件", ".ive"},
        {3, "", "0", "20", "Please input parameters", ".tif"},
        {3, "lots", "0", "20", capacityProblem, ".tif"},
        {3, "0", "0", "20", capacityProblem, ".tif"},
        {3, "-5", "0", "20", capacityProblem, ".tif"},
        {3, "100000000", "", "20", wholeNumbersProblem, ".tif"},
        {3, "100000000", "0", "1.5", wholeNumbersProblem, ".tif"},
        {3, "100000000", "20", "0", reversedProblem, ".tif"},
        {3, "100000000", "5", "5", reversedProblem, ".tif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.files) + " files, capacity '" + c.capacity + "', colours '" + c.lower +
                     "'..'" + c.upper + "'");
        newForm();
        chooseInputs(c.files);
        edit("lineEdit")->setText(c.capacity);
        edit("lineEdit_2")->setText(c.lower);
        edit("lineEdit_3")->setText(c.upper);
        combo("comboBox_2")->setCurrentText(".tif");

        const PressOutcome outcome = clickAndCancel("pushButton_3");
        EXPECT_EQ(outcome.warning, c.warning);
        EXPECT_EQ(outcome.warningTitle, "Warning");
        EXPECT_TRUE(emitted.empty());
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->resultFormat, c.format);
    }
}

TEST_F(FloodFormTest, CalculateClosesAndSendsTheFilesThenTheValues) {
    chooseInputs();
    combo("comboBox")->setCurrentText("三分之一溃");
    combo("comboBox_2")->setCurrentText(".3ds");
    spin("doubleSpinBox")->setValue(120.5);
    spin("doubleSpinBox_3")->setValue(2.5);
    spin("doubleSpinBox_4")->setValue(600);
    edit("lineEdit_2")->setText("2");
    edit("lineEdit_3")->setText("30");
    // The places go with the values, not with the engine's input files.
    choose("pushButton_10", monitors);

    click("pushButton_3");
    EXPECT_EQ(emitted, (std::vector<std::string>{"sendURL", "sendfloodValues", "transmitSignals(1)"}));
    EXPECT_EQ(sentFiles, paths({roughness, elevation, outbreak}));
    EXPECT_EQ(sentValues.breach.capacity, 100000000.0f);
    EXPECT_EQ(sentValues.breach.width, 120.5f);
    EXPECT_EQ(sentValues.breach.height, 47.5f);
    EXPECT_EQ(sentValues.breach.mode, "三分之一溃");
    EXPECT_EQ(sentValues.breach.timeStepDivisor, FloodRunSettings().timeStepDivisor);
    EXPECT_EQ(sentValues.colourLow, 2);
    EXPECT_EQ(sentValues.colourHigh, 30);
    EXPECT_EQ(sentValues.runHours, 2.5);
    EXPECT_EQ(sentValues.resultEverySeconds, 600);
    EXPECT_EQ(sentValues.resultFormat, ".3ds");
    EXPECT_EQ(sentValues.placesFile, monitors.toStdString());
    EXPECT_EQ(form->resultFormat, ".3ds");
    EXPECT_FALSE(form->isVisible());

    // Shown again, the form still holds the last setup.
    show();
    EXPECT_EQ(edit("lineEdit_4")->text(), roughness);
    EXPECT_EQ(combo("comboBox")->currentText(), "三分之一溃");
}

TEST_F(FloodFormTest, SimulationClosesAndSendsTheFloodStartFlag) {
    click("pushButton_4");
    EXPECT_EQ(emitted, std::vector<std::string>{"sendStart(1)"});
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FloodFormTest, SceneButtonSendsTheChosenModel) {
    const QString scene = file("scene/valley.ive");
    choose("pushButton_5", scene);
    EXPECT_EQ(emitted, std::vector<std::string>{"sendScenePath"});
    EXPECT_EQ(sentScene, scene.toStdString());
    EXPECT_EQ(edit("lineEdit_7")->text(), scene);
    EXPECT_TRUE(form->urlList.empty());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(FloodFormTest, DepthColourHasFiveClassesOverTheRange) {
    const osg::Vec4 shallow = form->shallowColour;
    const osg::Vec4 deep = form->deepColour;
    EXPECT_EQ(shallow, osg::Vec4(1.0f, 0.89f, 0.76f, 1.0f));
    EXPECT_EQ(deep, osg::Vec4(0.94f, 0.46f, 0.02f, 1.0f));
    const struct {
        float depth, range;
        float fraction;  // of the way from the shallow to the deep colour
    } cases[] = {
        {0, 20, 0.2f},
        {3.99f, 20, 0.2f},
        {4, 20, 0.4f},
        {10, 20, 0.6f},
        {19.9f, 20, 1.0f},
        {25, 20, 1.4f},
        {-1, 20, 0.2f},
        {-5, 20, 0.0f},
        {1, 5, 0.4f},
        // Bounds the wrong way round count by the width of the range.
        {10, -20, 0.6f},
        {19.9f, -20, 1.0f},
        // No range to divide: everything in the deep colour.
        {0, 0, 1.0f},
        {7, 0, 1.0f},
        // Far beyond the range: still a number, no overflow.
        {1e12f, 20, 5e10f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("depth " + std::to_string(c.depth) + " range " + std::to_string(c.range));
        const osg::Vec4 colour = form->depthColour(c.depth, c.range);
        const osg::Vec4 expected = shallow + (deep - shallow) * c.fraction;
        for (int channel = 0; channel < 3; ++channel) {
            EXPECT_NEAR(colour[channel], expected[channel],
                        1e-5f * std::max(1.0f, std::abs(expected[channel])))
                << "channel " << channel;
        }
        EXPECT_EQ(colour.a(), 1.0f);
    }
    // Beyond the range the colour continues past the deep one.
    EXPECT_LT(form->depthColour(25, 20).g(), deep.g());
}

TEST_F(FloodFormTest, DepthLegendRunsFromTheShallowToTheDeepColour) {
    osg::ref_ptr<osg::Projection> legend = form->makeDepthLegend(0, 10);
    ASSERT_TRUE(legend.valid() && legend->getNumChildren() == 1);
    // Under the transform that anchors it to a corner of the view.
    osg::Group* anchor = legend->getChild(0)->asGroup();
    ASSERT_TRUE(anchor && anchor->getNumChildren() == 1);
    auto* placement = dynamic_cast<osg::MatrixTransform*>(anchor->getChild(0));
    ASSERT_TRUE(placement && placement->getNumChildren() == 1);
    auto* bar = dynamic_cast<osgSim::ScalarBar*>(placement->getChild(0));
    ASSERT_NE(bar, nullptr);
    const osgSim::ScalarsToColors* colours = bar->getScalarsToColors();
    EXPECT_EQ(colours->getMin(), 0);
    EXPECT_EQ(colours->getMax(), 10);
    EXPECT_EQ(colours->getColor(0), form->shallowColour);
    EXPECT_EQ(colours->getColor(10), form->deepColour);
}

}  // namespace
