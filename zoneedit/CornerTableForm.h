#pragma once
// The selected zone's four corners as numbers: typed in document units, shown also in picture
// pixels, with the edge that carries the mark. The dialog only edits numbers; the caller decides
// whether the zone they make is acceptable and applies it.

#include "geometry/TFGeometry2.h"

#include <QDialog>

#include <functional>

class QDoubleSpinBox;
class QLabel;
class QPushButton;

class TCornerTableForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TCornerTableForm)
public:
    explicit TCornerTableForm(QWidget* parent = nullptr);

    // Captions from the text table, the corners to start from and the picture size in pixels.
    void Prepare(const TQuadPoints& corners, int pictureWidth, int pictureHeight);
    TQuadPoints Corners() const;

    // Asked on OK with the corners typed; false keeps the dialog open (the caller has said why).
    std::function<bool(const TQuadPoints&)> Accepting;

    // axis 0 is X, 1 is Y.
    QDoubleSpinBox* Edit(int corner, int axis) const { return Edits[corner][axis]; }
    QLabel* PixelLabel(int corner, int axis) const { return Pixels[corner][axis]; }
    QLabel* MarkLabel() const { return Mark; }
    QPushButton* OkButton() const { return Ok; }

    void accept() override;

private:
    void UpdatePixels();

    QDoubleSpinBox* Edits[4][2];
    QLabel* Pixels[4][2];
    QLabel* Headers[5];
    QLabel* Picture;
    QLabel* Mark;
    QPushButton* Ok;
    QPushButton* Cancel;
    int PictureWidth = 0;
    int PictureHeight = 0;
};
