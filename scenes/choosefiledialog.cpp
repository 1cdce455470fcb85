#include "choosefiledialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "scenelist.h"
#include "ui_choosefiledialog.h"

ChooseFileDialog::ChooseFileDialog(SceneCatalog& catalog, QWidget* parent)
    : QDialog(parent),
      ui(new Ui::ChooseFileDialog),
      catalog(catalog),
      listFile(QCoreApplication::applicationDirPath() + "/TreeMeta.json") {
    ui->setupUi(this);
    setFixedSize(width(), height());
}

ChooseFileDialog::~ChooseFileDialog() {
    delete ui;
}

void ChooseFileDialog::on_chooseButton_clicked() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, "选择文件夹", "/home", QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!folder.isEmpty()) {
        ui->filePathEdit->setPlainText(folder);
    }
}

void ChooseFileDialog::on_ConfirmButton_clicked() {
    // The edit is multi-line: a stray Return or blank typed around the folder is not part of it.
    const QString folder = ui->filePathEdit->toPlainText().trimmed();
    if (folder.isEmpty()) {
        QMessageBox question;
        question.setText("提示!");
        question.setInformativeText("确定所选路径为空吗？");
        question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        question.button(QMessageBox::Yes)->setText("确 定");
        question.button(QMessageBox::No)->setText("取 消");
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() == QMessageBox::Yes) {
            close();
        }
        return;
    }

    path = folder;
    for (FileManage& scene : catalog.scenes) {
        if (scene.name == sceneName) {
            type = scene.type;
            scene = {sceneName, path, type};
        }
    }

    // The binding holds for this run either way; only its saving can fail.
    QString reason;
    if (saveSceneBinding(listFile, catalog.scenes, sceneName, &reason)) {
        QMessageBox::warning(this, "绑定", "绑定文件路径完成！", QMessageBox::Ok);
    } else {
        QMessageBox::warning(this, "绑定",
                             QString("绑定文件路径未能保存：无法写入 %1（%2）。\n新路径仅在本次运行中有效。")
                                 .arg(QDir::toNativeSeparators(listFile), reason),
                             QMessageBox::Ok);
    }
    close();
}
