#pragma once

#include <QDialog>
#include <memory>
#include <vector>

namespace Ui {
class GetCameraPose;
}

// Shows a viewpoint as nine numbers (eye, centre and up, x y z each) in text fields an author can copy
// into a scene's configuration. The values arrive through `Getagrv`.
class GetCameraPose : public QDialog {
    Q_OBJECT

public:
    explicit GetCameraPose(QWidget* parent = nullptr);
    ~GetCameraPose() override;

    // The nine values last received: eye x, y, z, centre x, y, z, up x, y, z.
    std::vector<double> values;

public slots:
    // Eye and up with two decimals, the centre (often a far point along the line of sight) in six
    // significant digits. A list of fewer than nine values fills the fields it has.
    void Getagrv(std::vector<double> pVectorParameters);

private:
    std::unique_ptr<Ui::GetCameraPose> ui;
};
