#pragma once
// The picture area: the latest camera frame stretched over a panel, the sensor zones drawn on top,
// and the mouse and command editing of those zones. The configuration document is the master
// copy of the zones: structural changes go through it, and every mouse change is written back.

#include "config/XMLConfig.h"
#include "zones/FramePicture.h"
#include "zones/ZoneOverlay.h"
#include "geometry/TFGeometry2.h"
#include "zoneedit/ZonePrecision.h"

#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TQuadImager;

// Why a picture file was not loaded or saved; the caller words it for the user.
struct TFrameFileProblem {
    enum TKind { None, Extension, NotOpened, NotPicture, TooLarge, NotWritten };
    TKind Kind = None;
    QString Detail; // the system's words for a failed open or write; empty otherwise
};

// The surface the imager paints on. Mouse input is handed to the imager once Attach has hooked
// it; the wheel comes from the main form, not from here.
class TExtraPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TExtraPanel)
public:
    explicit TExtraPanel(TQuadImager* imager);

    TQuadImager* Imager() const { return Owner; }
    void Forget() { Owner = nullptr; }
    void SetHooked(bool hooked) { Hooked = hooked; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TQuadImager* Owner;
    bool Hooked = false;
};

class TQuadImager : public TQuadList {
public:
    // (sender, zone index); OnSelect gets -1 when there is no valid selection.
    using TQuadEvent = std::function<void(TQuadImager& sender, int index)>;

    static constexpr int MaxZones = 8;
    static constexpr TRGB GuideColor{0, 255, 255};

    TQuadImager();
    ~TQuadImager() override;

    int VideoRate = 0;
    std::unique_ptr<TXMLConfig> Config;
    bool Editing = true;
    int ViewWidth = 0;
    int ViewHeight = 0;
    TIntPoint LastPoint;
    TIntPoint DragAnchor;
    int DragCorner = -1;
    // FrameWidth x FrameHeight pixels, blue-green-red, bottom row first, no row padding.
    std::vector<std::uint8_t> FrameBuffer;
    int FrameWidth = 720;
    int FrameHeight = 576;
    bool Moving = false;
    TQuadEvent OnQuadChanged; // writes the zone back into Config unless replaced
    TQuadEvent OnSelect;
    TQuadPoints ZoneClipboard{};
    QImage BackBuffer; // the composed picture, view-sized once attached
    bool ShowZones = true;

    // View and frame.
    void Attach(QWidget* mainForm, QWidget* parent);
    void Resize();
    void PaintView();
    // False (and the old frame kept) when the data does not decode or is larger than 8192 pixels.
    bool SetFrameJPEG(const std::uint8_t* data, std::size_t size);
    void SetFrameBitmap(const QImage* bitmap);
    void ShowTextFrame(const QString& text);
    // By extension: .bmp, .jpg, .jpeg. False for other extensions and for unreadable files,
    // with the reason in `problem` when given.
    bool LoadFrame(const QString& fileName, TFrameFileProblem* problem = nullptr);
    // The buffer is in FrameBuffer layout at the current frame size. Other extensions write
    // nothing and give false; a failed write leaves no file behind.
    bool SaveFrame(const QString& fileName, const std::vector<std::uint8_t>& buffer,
                   TFrameFileProblem* problem = nullptr) const;
    // The picture as shown (frame and zones) at the frame size, in FrameBuffer layout.
    void CaptureView(std::vector<std::uint8_t>& buffer) const;

    // Zone commands.
    void SetEditing(bool on);
    bool AddSensorById(const std::string& id);
    bool ChangeSelectedId(const std::string& id);
    void DeleteSelected();
    void CopySensor();
    void PasteSensor();
    int NextFreeId() const;
    void GetIds(QStringList& ids) const;
    void SetVideoRate(int rate);

    // Mouse editing, in view pixels.
    void MouseDown(Qt::MouseButton button, TIntPoint position);
    void MouseMove(TIntPoint position);
    // Ctrl held turns snapping off for this step of a drag.
    void MouseMove(TIntPoint position, Qt::KeyboardModifiers modifiers);
    void MouseUp(Qt::MouseButton button, TIntPoint position);
    void DblClick();
    // True when the wheel turned the selected zone; otherwise the form handles it.
    bool MouseWheel(int delta, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

    // A completed edit (a drag, a turn of the wheel, a zone command), told to whoever keeps the
    // undo steps; the moves within a drag are no edits of their own.
    std::function<void(TQuadImager& sender)> OnEditFinished;
    // Ctrl+Z (redo false), Ctrl+Y or Ctrl+Shift+Z (redo true) in editing mode.
    std::function<void(TQuadImager& sender, bool redo)> OnUndoRequest;
    void EditFinished();
    // The zones' states were set from a detector's reply; told to whoever counts the changes.
    std::function<void(TQuadImager& sender)> OnStatesRead;
    // A drag in progress ends without a step: the document under it is being replaced.
    void CancelDrag();
    // True when the key was an undo or redo key and editing is on.
    bool HandleUndoKey(int key, Qt::KeyboardModifiers modifiers);

    // Precise editing, in editing mode only. The active corner (filled handle) is the one the
    // arrow keys move; with none they move the whole zone. -1 when there is none.
    int ActiveCorner() const;
    // Arrows (Shift: larger steps), Tab, Shift+Tab and Escape; true when the key was taken. Any
    // other key ends a run of key moves first, so that what it does is a step of its own.
    bool HandleEditKey(int key, Qt::KeyboardModifiers modifiers);
    // The run of key moves in progress becomes its undo step now.
    void FinishKeyRun();
    // The selected zone's corners replaced at once, one step; false when not editing, without a
    // valid selection, or when the corners fail IsValidQuad on the view.
    bool SetSelectedCorners(const TQuadPoints& corners);
    // Where the dragged corner snapped, while the drag lasts.
    std::optional<TFloatPoint> SnapMarker() const { return Snapped; }
    // Milliseconds of a steady clock, which times the runs of key moves; tests hold it still.
    std::function<long long()> Clock;

    TExtraPanel* Panel() const { return PanelWidget.data(); }
    QWidget* MainForm() const { return Form.data(); }
    bool HasValidSelection() const { return SelectedIndex >= 0 && SelectedIndex < Count(); }
    // Blits the back buffer; the panel's paint handler.
    void PaintOnPanel(QPainter& painter);

protected:
    // The undo keys act only when this allows key commands.
    virtual bool KeyCommandsEnabled() const { return true; }
    virtual void QuadChanged(int index);
    virtual void SelectRequested(int index);

private:
    void ComposeView();
    void StretchFrame();
    void ShowGuides();
    void RefreshPanel();
    void CopyImageIntoFrame(const QImage& image);
    bool PanelContains(TIntPoint position) const;
    void StartMove(TIntPoint position);
    void SetActiveCorner(int corner);
    void ClearActiveCorner() { ActiveIndex = -1; }
    void DrawEditMarks(QPainter& painter);
    long long Now() const;
    void KeyRunTick();

    TJpegDecoder Decoder;
    // Decoding goes here first so that a broken picture never tears the frame on show.
    std::vector<std::uint8_t> SpareBuffer;
    // Nearest-neighbour byte offsets of the source pixel for each view column, rebuilt only when
    // the frame width or the view width changes.
    std::vector<std::uint32_t> ColumnMap;
    TZoneOverlay ZoneLayer; // the zones over the picture, kept while they stay
    int ColumnMapFrameWidth = 0;
    QPointer<QWidget> Form;
    QPointer<TExtraPanel> PanelWidget;

    // The active corner belongs to the zone selected when it was chosen; a new selection drops it.
    int ActiveIndex = -1;
    int ActiveZone = -1;
    TKeyRun KeyRun;
    QTimer KeyRunTimer;
    // A whole-zone drag follows the mouse here, unsnapped, so that a snap never drags the zone
    // away from under the pointer; DragShown is what the zone was last given.
    TQuadPoints FreeQuad{};
    TQuadPoints DragShown{};
    std::optional<TFloatPoint> Snapped;
};
