#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <osg/Projection>
#include <osg/Vec4>
#include <osg/ref_ptr>
#include <string>
#include <vector>

#include "depthramp.h"
#include "floodrun.h"

class QLineEdit;

namespace Ui {
class FloodForm;
}

// What "calculate" hands to the run, read once from the form's fields.
struct FloodFormValues {
    FloodRunSettings breach;  // capacity, breach width and height, break mode, time-step divisor
    int colourLow = 0;        // depth colour range, m
    int colourHigh = 20;
    double runHours = 12;     // the run ends when its clock reaches this many simulated hours
    // Simulated seconds between written results; 0 writes one result per five engine steps.
    double resultEverySeconds = 0;
    std::string resultFormat = ".ive";  // extension of the per-step result scenes
    // Vector file of villages, buildings or roads whose exposure the run's summary lists; empty for none.
    std::string placesFile;
};

// The dam-break flood parameter window: reservoir and breach values, break mode, depth colour range,
// the input files and the output format. It reports to the main window only through its signals and is
// reused for every flood setup, keeping its values between showings. It also owns the depth colours of
// the water surface and builds their legend.
class FloodForm : public QWidget {
    Q_OBJECT

public:
    explicit FloodForm(QWidget* parent = nullptr);
    ~FloodForm() override;

    // Colour of a water depth (m) over a colour range `range` metres wide, painted with this form's
    // shallow and deep colours (see floodDepthColour).
    osg::Vec4 depthColour(float depth, float range) const;

    // The legend of the depth colours from `low` to `high` metres, to add to the scene.
    osg::ref_ptr<osg::Projection> makeDepthLegend(int low, int high) const;

    std::string resultFormat = ".ive";  // extension of the per-step result scenes, set by calculate
    // Roughness grid, elevation grid, outbreak information and, when chosen, the monitor-point file.
    std::vector<std::string> urlList;
    osg::Vec4 shallowColour = floodShallowColour;
    osg::Vec4 deepColour = floodDeepColour;

signals:
    void transmitSignals(bool flag);
    void sendfloodValues(FloodFormValues values);
    void sendStart(int flag);
    void sendURL(std::vector<std::string> UrlStr);
    void sendScenePath(std::string sceneUrl);

private slots:
    void on_pushButton_3_clicked();  // calculate
    void on_pushButton_4_clicked();  // simulation
    void on_pushButton_5_clicked();  // scene model
    void on_pushButton_6_clicked();  // roughness grid
    void on_pushButton_7_clicked();  // elevation grid
    void on_pushButton_8_clicked();  // outbreak information
    void on_pushButton_9_clicked();  // monitor points
    void on_pushButton_10_clicked();  // places
    void on_pushButton_2_clicked();  // clean

private:
    // Asks for a file for entry `slot` of urlList and shows it in `box`. A cancelled dialog warns unless
    // `optional`. Returns the chosen path, empty when cancelled.
    QString chooseInto(std::size_t slot, QLineEdit* box, bool optional, const QString& filter = QString());
    // Presets the outbreak width from "HNW.txt" in the folder of the outbreak-information file.
    void presetWidthFrom(const QString& outbreakPath);
    // The fields' values, or why they cannot start a run ("Please input parameters" when one is missing,
    // otherwise a message naming the field; `values` is then incomplete).
    QString readValues(FloodFormValues& values) const;

    std::unique_ptr<Ui::FloodForm> ui;
    bool presettingWidth = false;  // the width box is being set from HNW.txt, not by the user
};
