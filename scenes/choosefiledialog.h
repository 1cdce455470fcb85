#pragma once

#include <QDialog>
#include <QString>

struct SceneCatalog;

namespace Ui {
class ChooseFileDialog;
}

// Binds the data folder of one scene: the user picks or types a folder and confirms; the scene's record
// in the catalog takes the folder at once and the scene list is written back to "TreeMeta.json".
class ChooseFileDialog : public QDialog {
    Q_OBJECT

public:
    explicit ChooseFileDialog(SceneCatalog& catalog, QWidget* parent = nullptr);
    ~ChooseFileDialog() override;

    // The scene-list file the binding is written to; by default "TreeMeta.json" in the application folder.
    void setSceneListFile(const QString& file) { listFile = file; }
    QString sceneListFile() const { return listFile; }

    QString path;       // folder confirmed by the user
    QString sceneName;  // scene being bound, set by the caller
    QString type;       // that scene's type, copied from its record

private slots:
    void on_chooseButton_clicked();
    void on_ConfirmButton_clicked();

private:
    Ui::ChooseFileDialog* ui;
    SceneCatalog& catalog;
    QString listFile;
};
