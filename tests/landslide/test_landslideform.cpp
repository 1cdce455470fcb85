// The landslide form, driven as a user would: its widgets, the seven load buttons and their order, the
// scene model, clearing, and the two start buttons with what they send.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "landslideform.h"
#include "modaldriver.h"
#include "testfiles.h"

namespace {

// The load buttons in list order, with their fields.
struct LoadButton {
    const char* button;
    const char* field;
    const char* predecessorWarning;
};
const LoadButton loadButtons[] = {
    {"pushButton_3", "lineEdit", ""},
    {"pushButton_4", "lineEdit_2", "请先选择堆积体"},
    {"pushButton_5", "lineEdit_3", "请先选择滑坡道"},
    {"pushButton_6", "lineEdit_4", "请先选择滑坡体"},
    {"pushButton_7", "lineEdit_5", "请先选择灾后影像"},
    {"pushButton_8", "lineEdit_6", "请先选择中心线"},
    {"pushButton_11", "lineEdit_8", "请先选择镶嵌后的dem"},
};
const char* const allFields[] = {"lineEdit",   "lineEdit_2", "lineEdit_3", "lineEdit_4",
                                 "lineEdit_5", "lineEdit_6", "lineEdit_7", "lineEdit_8"};

class LandslideFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        newForm();
    }

    void newForm() {
        form = std::make_unique<LandslideForm>();
        emitted.clear();
        LandslideForm* f = form.get();
        QObject::connect(f, &LandslideForm::sendURL, [this](std::vector<std::string> list) {
            emitted.push_back("sendURL");
            sentFiles = list;
        });
        QObject::connect(f, &LandslideForm::sendLandSlide, [this](LandslideRunRequest request) {
            emitted.push_back("sendLandSlide");
            const LandslideInputs& in = request.inputs;
            sentRequest = {in.deposit, in.path, in.body, in.image, in.centreline, in.mosaic, in.postDem,
                           request.format};
        });
        QObject::connect(f, &LandslideForm::sendStart,
                         [this](int flag) { emitted.push_back("sendStart(" + std::to_string(flag) + ")"); });
        QObject::connect(f, &LandslideForm::sendScenePath, [this](std::string path) {
            emitted.push_back("sendScenePath");
            sentScene = path;
        });
        form->show();
        ASSERT_TRUE(waitUntil([this] { return form->isVisible(); }));
    }

    QString file(const QString& name) {
        const QString path = folder.path() + "/" + name;
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

    void choose(const char* button, const QString& path) {
        ModalDriver dialog(chooseFile(path), 15000, "QFileDialog");
        click(button);
        ASSERT_TRUE(dialog.answered()) << button << " opened no file dialog";
    }
    // Chooses the first `count` inputs in list order; returns their paths.
    std::vector<std::string> chooseInputs(int count, const QString& prefix = "input") {
        std::vector<std::string> chosen;
        for (int index = 0; index < count; ++index) {
            const QString path = file(prefix + QString::number(index) + ".tif");
            choose(loadButtons[index].button, path);
            chosen.push_back(path.toStdString());
        }
        return chosen;
    }

    struct Outcome {
        bool fileDialogShown = false;
        QString warning;
        QString warningTitle;
    };
    Outcome clickAndCancel(const char* button) {
        ModalDriver dialog(cancelDialog(), 15000, "QFileDialog");
        ModalDriver box(clickButton("OK"), 15000, "QMessageBox");
        click(button);
        return {dialog.answered(), box.text(), box.title()};
    }

    std::vector<QString> fieldTexts() {
        std::vector<QString> texts;
        for (const char* name : allFields) {
            texts.push_back(edit(name)->text());
        }
        return texts;
    }

    QTemporaryDir folder;
    std::unique_ptr<LandslideForm> form;
    std::vector<std::string> emitted;
    std::vector<std::string> sentFiles;
    // The request's inputs by role (deposit, path, body, image, centreline, mosaic, post-disaster DEM)
    // and its format.
    std::vector<std::string> sentRequest;
    std::string sentScene;
};

// The main window connects these by their normalised signatures, and the run takes these formats.
TEST_F(LandslideFormTest, OffersTheThreeFormatsAndTheSignalsTheWindowConnects) {
    const QComboBox* format = child<QComboBox>("comboBox");
    QStringList items;
    for (int index = 0; index < format->count(); ++index) {
        items << format->itemText(index);
    }
    EXPECT_EQ(items, (QStringList{".ive", ".3ds", ".tif"}));
    EXPECT_EQ(format->currentText(), ".ive");
    const QMetaObject* meta = form->metaObject();
    std::vector<QByteArray> signatures;
    for (int index = meta->methodOffset(); index < meta->methodCount(); ++index) {
        if (meta->method(index).methodType() == QMetaMethod::Signal) {
            signatures.push_back(meta->method(index).methodSignature());
        }
    }
    EXPECT_EQ(signatures,
              (std::vector<QByteArray>{"sendLandSlide(LandslideRunRequest)", "sendStart(int)",
                                       "sendURL(std::vector<std::string>)", "sendScenePath(std::string)"}));
}

TEST_F(LandslideFormTest, LoadButtonsAskForTheirPredecessorAndWarnWhenCancelled) {
    for (int button = 0; button < 7; ++button) {
        for (const bool predecessorChosen : {false, true}) {
            if (button == 0 && !predecessorChosen) {
                continue;
            }
            SCOPED_TRACE(std::string(loadButtons[button].button) +
                         (predecessorChosen ? " after its predecessor" : " before its predecessor"));
            newForm();
            // Everything before the predecessor is chosen; the predecessor only when asked.
            chooseInputs(predecessorChosen ? button : button - 1);
            const std::vector<std::string> listBefore = form->urlList;
            const std::vector<QString> fieldsBefore = fieldTexts();

            const Outcome outcome = clickAndCancel(loadButtons[button].button);
            EXPECT_EQ(outcome.fileDialogShown, predecessorChosen);
            EXPECT_EQ(outcome.warning,
                      predecessorChosen ? "请选择正确文件" : loadButtons[button].predecessorWarning);
            EXPECT_EQ(outcome.warningTitle, "Warning");
            EXPECT_EQ(form->urlList, listBefore);
            EXPECT_EQ(fieldTexts(), fieldsBefore);
            EXPECT_TRUE(emitted.empty());
            EXPECT_TRUE(form->isVisible());
        }
    }
}

TEST_F(LandslideFormTest, StartCalculationSendsTheFilesThenStartsAndEachPressSendsTheCurrentFormat) {
    // The scene model is not needed for a run and not in the list.
    const std::vector<std::string> chosen = chooseInputs(7);
    click("pushButton");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(emitted, (std::vector<std::string>{"sendURL", "sendLandSlide"}));
    std::vector<std::string> expected = chosen;
    expected.push_back(".ive");
    EXPECT_EQ(sentFiles, expected);
    EXPECT_EQ(sentRequest, expected);

    // Shown again, with the fields as they were; a new format reaches the run at index 7.
    form->show();
    ASSERT_TRUE(waitUntil([this] { return form->isVisible(); }));
    EXPECT_EQ(edit("lineEdit")->text().toStdString(), chosen[0]);
    child<QComboBox>("comboBox")->setCurrentText(".tif");
    emitted.clear();
    click("pushButton");
    EXPECT_EQ(emitted, (std::vector<std::string>{"sendURL", "sendLandSlide"}));
    expected.back() = ".tif";
    EXPECT_EQ(sentFiles, expected);
    EXPECT_EQ(sentRequest, expected);
    EXPECT_EQ(form->urlList, expected);
}

TEST_F(LandslideFormTest, EachPathKeepsItsIndexWhetherChosenAgainOrTypedByHand) {
    // The deposit typed, the rest chosen: the slide path must not take the deposit's place.
    const QString typed = file("typed deposit.tif");
    edit("lineEdit")->setText(typed);
    std::vector<std::string> expected = {typed.toStdString()};
    for (int index = 1; index < 7; ++index) {
        const QString path = file("chosen" + QString::number(index) + ".tif");
        choose(loadButtons[index].button, path);
        expected.push_back(path.toStdString());
    }
    EXPECT_EQ(form->urlList.size(), 7u);
    EXPECT_EQ(form->urlList[1], expected[1]);
    // Chosen again: replaced at the same index.
    const QString other = file("other body.tif");
    choose(loadButtons[2].button, other);
    expected[2] = other.toStdString();
    EXPECT_EQ(form->urlList[2], expected[2]);
    EXPECT_EQ(form->urlList.size(), 7u);
    // A chosen path edited by hand afterwards is taken as edited.
    const QString edited = file("edited image.tif");
    edit("lineEdit_4")->setText(edited);
    expected[3] = edited.toStdString();
    click("pushButton");
    expected.push_back(".ive");
    EXPECT_EQ(sentFiles, expected);
    EXPECT_EQ(sentRequest, expected);
}

TEST_F(LandslideFormTest, StartCalculationRefusesWhileARasterFieldIsEmpty) {
    for (const int missing : {0, 6}) {
        SCOPED_TRACE(loadButtons[missing].field);
        newForm();
        chooseInputs(7);
        edit(loadButtons[missing].field)->clear();
        const Outcome outcome = clickAndCancel("pushButton");
        EXPECT_EQ(outcome.warning, "未填写文件");
        EXPECT_EQ(outcome.warningTitle, "Warning");
        EXPECT_TRUE(emitted.empty());
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(LandslideFormTest, ClearingEmptiesEveryFieldAndTheList) {
    chooseInputs(7);
    choose("pushButton_9", file("scene.ive"));
    child<QComboBox>("comboBox")->setCurrentText(".3ds");
    click("pushButton_10");
    EXPECT_EQ(fieldTexts(), std::vector<QString>(8));
    EXPECT_TRUE(form->urlList.empty());
    EXPECT_EQ(child<QComboBox>("comboBox")->currentText(), ".3ds");
    EXPECT_EQ(clickAndCancel("pushButton").warning, "未填写文件");
    EXPECT_EQ(clickAndCancel("pushButton_4").warning, "请先选择堆积体");
}

TEST_F(LandslideFormTest, SceneModelIsSentAtOnceAndEvolutionNeedsNoField) {
    const QString scene = file("scene one.ive");
    choose("pushButton_9", scene);
    EXPECT_EQ(edit("lineEdit_7")->text(), scene);
    EXPECT_EQ(sentScene, scene.toStdString());
    EXPECT_TRUE(form->urlList.empty());
    // Choosing again replaces the field, whatever it held.
    const QString second = file("scene two.ive");
    choose("pushButton_9", second);
    EXPECT_EQ(edit("lineEdit_7")->text(), second);
    const Outcome cancelled = clickAndCancel("pushButton_9");
    EXPECT_EQ(cancelled.warning, "请选择正确文件");
    EXPECT_EQ(edit("lineEdit_7")->text(), second);

    emitted.clear();
    click("pushButton_2");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(emitted, std::vector<std::string>{"sendStart(3)"});
}

}  // namespace
