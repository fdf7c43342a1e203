#include "zones/TFImageHelper2.h"

#include "zones/QuadDrawing.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <bit>
#include <charconv>
#include <chrono>
#include <cstring>

namespace {

// One wheel notch (120) turns a zone by 5 degrees, or by 1 degree with Alt or the middle button.
constexpr double CoarseRadiansPerDelta = 0.0007272205;
constexpr double FineRadiansPerDelta = 0.0001454441;

// The snap marker: a ring round the point the corner landed on, in a colour no zone is drawn in.
constexpr int SnapMarkerRadius = 7;
const QColor SnapMarkerColor(255, 255, 0);

bool SamePoints(const TQuadPoints& a, const TQuadPoints& b) {
    for (int i = 0; i < 4; ++i)
        if (a[i].X != b[i].X || a[i].Y != b[i].Y)
            return false;
    return true;
}

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

TIntPoint ToIntPoint(const QPointF& p) {
    const QPoint q = p.toPoint();
    return {q.x(), q.y()};
}

// An id that is not wholly a decimal integer counts as -1.
int IdAsNumber(const std::string& id) {
    int value = -1;
    const char* end = id.data() + id.size();
    const auto [ptr, ec] = std::from_chars(id.data(), end, value);
    if (ec != std::errc() || ptr != end || id.empty())
        return -1;
    return value;
}

std::size_t FrameBytes(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

bool Refuse(TFrameFileProblem* problem, TFrameFileProblem::TKind kind, const QString& detail = {}) {
    if (problem)
        *problem = {kind, detail};
    return false;
}

bool IsPictureExtension(const QString& extension) {
    return extension == QLatin1String("bmp") || extension == QLatin1String("jpg") ||
           extension == QLatin1String("jpeg");
}

bool WriteFile(const QString& fileName, const std::vector<std::uint8_t>& bytes,
               TFrameFileProblem* problem) {
    if (bytes.empty())
        return Refuse(problem, TFrameFileProblem::NotPicture);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Refuse(problem, TFrameFileProblem::NotWritten, file.errorString());
    const qint64 size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush())
        return true;
    // Half a picture under the chosen name would pass for a good one.
    const QString reason = file.errorString();
    file.close();
    file.remove();
    return Refuse(problem, TFrameFileProblem::NotWritten, reason);
}

// One row of blue-green-red pixels into 0xffRRGGBB words. The common case of a view as wide as
// the frame takes four pixels from three little-endian words.
void ConvertRowPortable(const std::uint8_t* src, std::uint32_t* dst, int width) {
    int x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; x + 4 <= width; x += 4, src += 12) {
            std::uint32_t w[3];
            std::memcpy(w, src, 12);
            dst[x] = 0xff000000u | (w[0] & 0xffffffu);
            dst[x + 1] = 0xff000000u | (w[0] >> 24) | ((w[1] & 0xffffu) << 8);
            dst[x + 2] = 0xff000000u | (w[1] >> 16) | ((w[2] & 0xffu) << 16);
            dst[x + 3] = 0xff000000u | (w[2] >> 8);
        }
    }
    for (; x < width; ++x, src += 3)
        dst[x] =
            0xff000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
}

#if defined(__x86_64__) || defined(__i386__)
// One byte shuffle spreads four pixels to four words: a quarter of the portable loop's time, and
// this conversion is the one pass over the picture that the live view cannot avoid.
__attribute__((target("ssse3"))) void ConvertRowSsse3(const std::uint8_t* src,
                                                      std::uint32_t* dst, int width) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
    int x = 0;
    // Each step loads 16 bytes for the 12 it uses: stop while the row still has them.
    for (; x + 6 <= width; x += 4, src += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                         _mm_or_si128(_mm_shuffle_epi8(v, spread), opaque));
    }
    ConvertRowPortable(src, dst + x, width - x);
}
#endif

void ConvertRow(const std::uint8_t* src, std::uint32_t* dst, int width) {
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) {
        ConvertRowSsse3(src, dst, width);
        return;
    }
#endif
    ConvertRowPortable(src, dst, width);
}

} // namespace

// ---------------------------------------------------------------------------------------------

TExtraPanel::TExtraPanel(TQuadImager* imager) : Owner(imager) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the wheel acts on the zone under the last mouse position
}

void TExtraPanel::paintEvent(QPaintEvent* event) {
    if (!Owner) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    Owner->PaintOnPanel(painter);
}

void TExtraPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (Owner && Hooked)
        Owner->Resize();
}

void TExtraPanel::mousePressEvent(QMouseEvent* event) {
    if (Owner && Hooked)
        Owner->MouseDown(event->button(), ToIntPoint(event->position()));
}

void TExtraPanel::mouseMoveEvent(QMouseEvent* event) {
    if (Owner && Hooked)
        Owner->MouseMove(ToIntPoint(event->position()), event->modifiers());
}

void TExtraPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (Owner && Hooked)
        Owner->MouseUp(event->button(), ToIntPoint(event->position()));
}

// The second press of a double click is both a double click and a press, in that order.
void TExtraPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!Owner || !Hooked)
        return;
    if (event->button() == Qt::LeftButton)
        Owner->DblClick();
    Owner->MouseDown(event->button(), ToIntPoint(event->position()));
}

bool TExtraPanel::eventFilter(QObject* watched, QEvent* event) {
    if (!Owner)
        return false;
    if (Hooked && event->type() == QEvent::Resize && watched == parentWidget())
        setGeometry(parentWidget()->contentsRect());
    if (event->type() == QEvent::KeyPress && watched == Owner->MainForm()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!Owner->HandleEditKey(key->key(), key->modifiers()) &&
            !Owner->HandleUndoKey(key->key(), key->modifiers()))
            return false;
        key->accept();
        return true;
    }
    if (event->type() != QEvent::Wheel || watched != Owner->MainForm())
        return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    // Some platforms turn a vertical wheel with a modifier into a horizontal one.
    const QPoint angle = wheel->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (!Owner->MouseWheel(delta, wheel->modifiers(), wheel->buttons()))
        return false;
    wheel->accept();
    return true;
}

// ---------------------------------------------------------------------------------------------

TQuadImager::TQuadImager()
    : Config(std::make_unique<TXMLConfig>()), FrameBuffer(FrameBytes(720, 576)),
      BackBuffer(720, 576, QImage::Format_RGB32) {
    PanelWidget = new TExtraPanel(this);
    ViewWidth = PanelWidget->width();
    ViewHeight = PanelWidget->height();
    BackBuffer.fill(Qt::black);
    OnQuadChanged = [](TQuadImager& sender, int index) {
        sender.Config->UpdateSensorGeometry(sender, index);
    };
    KeyRunTimer.setSingleShot(true);
    QObject::connect(&KeyRunTimer, &QTimer::timeout, &KeyRunTimer, [this] { KeyRunTick(); });
}

TQuadImager::~TQuadImager() {
    Editing = false;
    if (Form && PanelWidget)
        Form->removeEventFilter(PanelWidget);
    // The panel may already have gone with the parent it was attached to.
    if (PanelWidget) {
        PanelWidget->Forget();
        delete PanelWidget.data();
    }
}

void TQuadImager::Attach(QWidget* mainForm, QWidget* parent) {
    if (!PanelWidget)
        return;
    if (Form)
        Form->removeEventFilter(PanelWidget);
    if (QWidget* previous = PanelWidget->parentWidget())
        previous->removeEventFilter(PanelWidget);
    Form = mainForm;
    if (Form)
        Form->installEventFilter(PanelWidget);

    PanelWidget->SetHooked(false);
    PanelWidget->setParent(nullptr);
    if (!parent)
        return;
    PanelWidget->setParent(parent);
    PanelWidget->setGeometry(parent->contentsRect());
    parent->installEventFilter(PanelWidget); // keeps the panel anchored to all four sides
    PanelWidget->SetHooked(true);
    PanelWidget->show();
    Resize();
}

void TQuadImager::Resize() {
    if (!PanelWidget)
        return;
    ViewWidth = PanelWidget->width();
    ViewHeight = PanelWidget->height();
    if (ViewWidth > 0 && ViewHeight > 0 && BackBuffer.size() != QSize(ViewWidth, ViewHeight))
        BackBuffer = QImage(ViewWidth, ViewHeight, QImage::Format_RGB32);
    PaintView();
}

void TQuadImager::PaintView() {
    if (!PanelWidget)
        return;
    ComposeView();
    RefreshPanel();
}

void TQuadImager::RefreshPanel() {
    if (PanelWidget && PanelWidget->isVisible())
        PanelWidget->repaint();
}

void TQuadImager::PaintOnPanel(QPainter& painter) {
    if (BackBuffer.size() != PanelWidget->size() && PanelWidget->width() > 0 &&
        PanelWidget->height() > 0) {
        ViewWidth = PanelWidget->width();
        ViewHeight = PanelWidget->height();
        BackBuffer = QImage(ViewWidth, ViewHeight, QImage::Format_RGB32);
        ComposeView();
    }
    painter.drawImage(0, 0, BackBuffer);
}

void TQuadImager::ComposeView() {
    if (BackBuffer.isNull())
        return;
    StretchFrame();
    if (!ShowZones)
        return;
    ZoneLayer.Draw(*this, BackBuffer);
    if (Editing && !GreyMode) {
        QPainter painter(&BackBuffer);
        DrawEditMarks(painter);
    }
}

void TQuadImager::DrawEditMarks(QPainter& painter) {
    if (!Editing || GreyMode)
        return;
    const int W = BackBuffer.width();
    const int H = BackBuffer.height();
    if (const int corner = ActiveCorner(); corner >= 0) {
        const TPixelQuad px = QuadToPixels(Quad(SelectedIndex)->Points, W - 1, H - 1);
        const TPixelRect r = HandleRect(px[corner]);
        painter.fillRect(QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top),
                         QColor(SelectedColor.R, SelectedColor.G, SelectedColor.B));
    }
    if (Snapped && (Moving || DragCorner >= 0)) {
        const QPoint at(RoundHalfEven(Snapped->X * (W - 1)), RoundHalfEven(Snapped->Y * (H - 1)));
        painter.setPen(QPen(SnapMarkerColor, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(at, SnapMarkerRadius, SnapMarkerRadius);
    }
}

// Nearest neighbour: source pixels are dropped or repeated, never blended. Our own loop also
// copes with frame widths that are not a multiple of 4, since the rows carry no padding.
void TQuadImager::StretchFrame() {
    const int W = BackBuffer.width();
    const int H = BackBuffer.height();
    if (FrameWidth <= 0 || FrameHeight <= 0 ||
        FrameBuffer.size() < FrameBytes(FrameWidth, FrameHeight))
        return;
    if (ColumnMap.size() != static_cast<std::size_t>(W) || ColumnMapFrameWidth != FrameWidth) {
        ColumnMap.resize(W);
        for (int x = 0; x < W; ++x)
            ColumnMap[x] =
                static_cast<std::uint32_t>(static_cast<std::int64_t>(x) * FrameWidth / W * 3);
        ColumnMapFrameWidth = FrameWidth;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(FrameWidth) * 3;
    const std::uint32_t* columns = ColumnMap.data();
    int previousSource = -1;
    for (int y = 0; y < H; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * FrameHeight / H);
        auto* dst = reinterpret_cast<std::uint32_t*>(BackBuffer.scanLine(y));
        if (sy == previousSource) {
            std::memcpy(dst, BackBuffer.constScanLine(y - 1), static_cast<std::size_t>(W) * 4);
            continue;
        }
        previousSource = sy;
        const std::uint8_t* src = FrameBuffer.data() + (FrameHeight - 1 - sy) * rowBytes;
        if (W == FrameWidth) {
            ConvertRow(src, dst, W);
            continue;
        }
        for (int x = 0; x < W; ++x) {
            const std::uint8_t* p = src + columns[x];
            dst[x] = 0xff000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        }
    }
}

bool TQuadImager::SetFrameJPEG(const std::uint8_t* data, std::size_t size) {
    int width = 0;
    int height = 0;
    if (!Decoder.ReadSize(data, size, width, height))
        return false;
    const std::size_t bytes = FrameBytes(width, height);
    if (SpareBuffer.size() != bytes)
        SpareBuffer.resize(bytes);
    if (!Decoder.DecodeBGRBottomUp(data, size, SpareBuffer.data(), width, height))
        return false;
    FrameBuffer.swap(SpareBuffer);
    FrameWidth = width;
    FrameHeight = height;
    PaintView();
    return true;
}

void TQuadImager::CopyImageIntoFrame(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    const std::size_t rowBytes = static_cast<std::size_t>(FrameWidth) * 3;
    for (int y = 0; y < FrameHeight; ++y)
        std::memcpy(FrameBuffer.data() + (FrameHeight - 1 - y) * rowBytes, bgr.constScanLine(y),
                    rowBytes);
}

void TQuadImager::SetFrameBitmap(const QImage* bitmap) {
    if (bitmap && !bitmap->isNull()) {
        const std::size_t bytes = FrameBytes(bitmap->width(), bitmap->height());
        if (bytes != FrameBuffer.size())
            FrameBuffer.resize(bytes);
        FrameWidth = bitmap->width();
        FrameHeight = bitmap->height();
        CopyImageIntoFrame(*bitmap);
    }
    PaintView();
}

void TQuadImager::ShowTextFrame(const QString& text) {
    QImage picture(FrameWidth, FrameHeight, QImage::Format_RGB888);
    picture.fill(QColor(64, 64, 64));
    {
        QPainter painter(&picture);
        QFont font(QStringLiteral("Tahoma"));
        font.setPointSize(22);
        painter.setFont(font);
        painter.setPen(QColor(0, 128, 128));
        const QFontMetrics metrics(font, &picture);
        const int x = (FrameWidth - metrics.horizontalAdvance(text)) / 2;
        const int y = FrameHeight / 2 - 24;
        painter.drawText(x, y + metrics.ascent(), text);
    }
    CopyImageIntoFrame(picture);
    PaintView();
}

bool TQuadImager::LoadFrame(const QString& fileName, TFrameFileProblem* problem) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (!IsPictureExtension(extension))
        return Refuse(problem, TFrameFileProblem::Extension);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse(problem, TFrameFileProblem::NotOpened, file.errorString());
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Refuse(problem, TFrameFileProblem::NotOpened, file.errorString());
    QImage picture;
    if (extension == QLatin1String("bmp")) {
        if (!picture.loadFromData(data, "BMP"))
            return Refuse(problem, TFrameFileProblem::NotPicture);
    } else {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.constData());
        int width = 0;
        int height = 0;
        if (!Decoder.ReadSize(bytes, data.size(), width, height))
            return Refuse(problem, TFrameFileProblem::NotPicture);
        picture = QImage(width, height, QImage::Format_RGB888);
        if (picture.isNull() || !Decoder.DecodeRGB(bytes, data.size(), picture.bits(), width,
                                                   picture.bytesPerLine(), height))
            return Refuse(problem, TFrameFileProblem::NotPicture);
    }
    if (picture.width() > MaxFrameSide || picture.height() > MaxFrameSide)
        return Refuse(problem, TFrameFileProblem::TooLarge);
    SetFrameBitmap(&picture);
    return true;
}

bool TQuadImager::SaveFrame(const QString& fileName, const std::vector<std::uint8_t>& buffer,
                            TFrameFileProblem* problem) const {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (!IsPictureExtension(extension))
        return Refuse(problem, TFrameFileProblem::Extension);
    if (buffer.size() < FrameBytes(FrameWidth, FrameHeight))
        return Refuse(problem, TFrameFileProblem::NotPicture);
    if (extension == QLatin1String("bmp"))
        return WriteFile(fileName, EncodeBmp24(buffer.data(), FrameWidth, FrameHeight), problem);
    return WriteFile(fileName, EncodeJpeg(buffer.data(), FrameWidth, FrameHeight, 50, true),
                     problem);
}

void TQuadImager::CaptureView(std::vector<std::uint8_t>& buffer) const {
    buffer.assign(FrameBytes(FrameWidth, FrameHeight), 0);
    const int W = BackBuffer.width();
    const int H = BackBuffer.height();
    if (W <= 0 || H <= 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(FrameWidth) * 3;
    for (int y = 0; y < FrameHeight; ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * H / FrameHeight);
        const auto* src = reinterpret_cast<const std::uint32_t*>(BackBuffer.constScanLine(sy));
        std::uint8_t* dst = buffer.data() + (FrameHeight - 1 - y) * rowBytes;
        for (int x = 0; x < FrameWidth; ++x) {
            const std::uint32_t pixel = src[static_cast<std::int64_t>(x) * W / FrameWidth];
            dst[3 * x] = static_cast<std::uint8_t>(pixel);
            dst[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
            dst[3 * x + 2] = static_cast<std::uint8_t>(pixel >> 16);
        }
    }
}

// ---------------------------------------------------------------------------------------------

void TQuadImager::SetEditing(bool on) {
    FinishKeyRun();
    ClearActiveCorner();
    Editing = on;
    SelectedIndex = on ? Count() - 1 : -1;
    PaintView();
}

bool TQuadImager::AddSensorById(const std::string& id) {
    if (!Editing || Count() >= MaxZones)
        return false;
    FinishKeyRun();
    ClearActiveCorner();
    Config->AddEmptySensor(*this, id);
    SelectedIndex = Count() - 1;
    EditFinished();
    PaintView();
    return true;
}

bool TQuadImager::ChangeSelectedId(const std::string& id) {
    if (!Editing || !HasValidSelection())
        return false;
    FinishKeyRun();
    ClearActiveCorner(); // the zone goes to the end of the list, away from the selection
    const TQuadPoints corners = Quad(SelectedIndex)->Points;
    Config->ChangeSensorId(*this, SelectedIndex, corners, id);
    EditFinished();
    PaintView();
    return true;
}

void TQuadImager::DeleteSelected() {
    if (!Editing || !HasValidSelection())
        return;
    FinishKeyRun();
    ClearActiveCorner();
    Config->DeleteSensor(*this, SelectedIndex);
    SelectedIndex = Count() - 1;
    EditFinished();
    PaintView();
}

void TQuadImager::CopySensor() {
    if (HasValidSelection())
        ZoneClipboard = Quad(SelectedIndex)->Points;
}

void TQuadImager::PasteSensor() {
    if (!Editing || Count() >= MaxZones)
        return;
    FinishKeyRun();
    ClearActiveCorner();
    TQuadPoints corners = ZoneClipboard;
    const double offset = 0.01 * Count();
    for (TFloatPoint& p : corners) {
        p.X += offset;
        p.Y += offset;
    }
    MoveQuad(corners, 0, 0, 1, 1); // pushes the copy back inside the frame, shape unchanged
    Config->AddSensor(*this, std::to_string(NextFreeId()), corners);
    SelectedIndex = Count() - 1;
    EditFinished();
    PaintView();
}

int TQuadImager::NextFreeId() const {
    for (int candidate = 1;; ++candidate) {
        bool used = false;
        for (int i = 0; i < Count() && !used; ++i)
            used = IdAsNumber(Quad(i)->Id) == candidate;
        if (!used)
            return candidate;
    }
}

void TQuadImager::GetIds(QStringList& ids) const {
    ids.clear();
    for (int i = 0; i < Count(); ++i)
        ids << QString::fromStdString(Quad(i)->Id);
}

void TQuadImager::SetVideoRate(int rate) {
    if (rate >= 0 && rate < 100)
        VideoRate = rate;
}

// ---------------------------------------------------------------------------------------------

void TQuadImager::QuadChanged(int index) {
    if (OnQuadChanged)
        OnQuadChanged(*this, index);
}

void TQuadImager::SelectRequested(int index) {
    if (OnSelect)
        OnSelect(*this, index);
}

void TQuadImager::ShowGuides() {
    if (!HasValidSelection() || BackBuffer.isNull())
        return;
    {
        QPainter painter(&BackBuffer);
        DrawGuides(*Quad(SelectedIndex), painter, BackBuffer.width(), BackBuffer.height(),
                   GuideColor);
    }
    RefreshPanel();
}

bool TQuadImager::PanelContains(TIntPoint p) const {
    return PanelWidget && p.X >= 0 && p.Y >= 0 && p.X <= PanelWidget->width() &&
           p.Y <= PanelWidget->height();
}

void TQuadImager::StartMove(TIntPoint position) {
    DragAnchor = position;
    Moving = true;
    FreeQuad = DragShown = Quad(SelectedIndex)->Points;
}

void TQuadImager::MouseDown(Qt::MouseButton button, TIntPoint position) {
    // What the mouse does next is a step of its own, not part of the key moves before it.
    FinishKeyRun();
    if (Editing && HasValidSelection()) {
        LastPoint = position;
        if (button == Qt::LeftButton) {
            const TQuadBase& selected = *Quad(SelectedIndex);
            DragCorner = CornerAt(selected, position, ViewWidth, ViewHeight);
            if (DragCorner >= 0) {
                SetActiveCorner(DragCorner);
                PaintView();
                ShowGuides();
            } else if (QuadContains(selected, position, ViewWidth, ViewHeight)) {
                StartMove(position);
            } else {
                for (int i = 0; i < Count(); ++i) {
                    if (QuadContains(*Quad(i), position, ViewWidth, ViewHeight)) {
                        if (i != SelectedIndex)
                            ClearActiveCorner();
                        SelectedIndex = i;
                        StartMove(position);
                        break;
                    }
                }
                QuadChanged(SelectedIndex);
                PaintView();
            }
        }
    }
    if (button == Qt::RightButton)
        SelectRequested(HasValidSelection() ? SelectedIndex : -1);
}

void TQuadImager::MouseMove(TIntPoint position) {
    MouseMove(position, Qt::NoModifier);
}

void TQuadImager::MouseMove(TIntPoint position, Qt::KeyboardModifiers modifiers) {
    if (!Editing || !HasValidSelection() || !PanelContains(position))
        return;
    LastPoint = position;
    TQuadBase& zone = *Quad(SelectedIndex);
    const bool snapping = !(modifiers & Qt::ControlModifier);
    if (DragCorner >= 0 && DragCorner < 4) {
        const TSnap snap = SnapCorner(*this, SelectedIndex, DragCorner,
                                      PixelToFloat(position, ViewWidth, ViewHeight), ViewWidth,
                                      ViewHeight, snapping);
        TQuadPoints candidate = zone.Points;
        candidate[DragCorner] = snap.At;
        if (!IsValidQuad(candidate, ViewWidth, ViewHeight))
            return; // the corner stays at its last valid position
        zone.Points[DragCorner] = candidate[DragCorner];
        Snapped.reset();
        if (snap.Kind != TSnap::None)
            Snapped = snap.At;
        QuadChanged(SelectedIndex);
        PaintView();
        ShowGuides();
        return;
    }
    if (Moving) {
        // Something else (the wheel, a new document) moved the zone since: go on from there.
        if (!SamePoints(zone.Points, DragShown))
            FreeQuad = zone.Points;
        MoveQuad(FreeQuad, position.X - DragAnchor.X, position.Y - DragAnchor.Y, ViewWidth,
                 ViewHeight);
        DragAnchor = position;
        const TZoneSnap snap =
            SnapZone(*this, SelectedIndex, FreeQuad, ViewWidth, ViewHeight, snapping);
        zone.Points = DragShown = snap.Points;
        Snapped.reset();
        if (snap.Corner >= 0)
            Snapped = snap.Points[snap.Corner];
        QuadChanged(SelectedIndex);
        PaintView();
    }
}

void TQuadImager::MouseUp(Qt::MouseButton button, TIntPoint) {
    if (button != Qt::LeftButton || !Editing || !HasValidSelection())
        return;
    const bool dragged = Moving || DragCorner >= 0;
    const bool marked = Snapped.has_value();
    Moving = false;
    DragCorner = -1;
    Snapped.reset();
    if (marked)
        PaintView(); // the marker lasts only as long as the drag
    if (dragged)
        EditFinished(); // one step per drag, however many moves it took
}

void TQuadImager::DblClick() {
    if (!Editing || !HasValidSelection() || DragCorner >= 0)
        return;
    const int count = Count();
    for (int step = 1; step <= count; ++step) {
        const int i = (SelectedIndex + step) % count;
        if (QuadContains(*Quad(i), LastPoint, ViewWidth, ViewHeight)) {
            if (i != SelectedIndex)
                ClearActiveCorner();
            SelectedIndex = i;
            DragAnchor = LastPoint;
            break;
        }
    }
    QuadChanged(SelectedIndex);
    PaintView();
}

bool TQuadImager::MouseWheel(int delta, Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    // Touchpads open and close a scroll with events that turn nothing; taken as a turn they
    // would shrink the zone or move its edge mark.
    if (delta == 0 || !Editing || !HasValidSelection())
        return false;
    TQuadBase& zone = *Quad(SelectedIndex);
    if (!QuadContains(zone, LastPoint, ViewWidth, ViewHeight))
        return false;
    FinishKeyRun();
    TQuadPoints& p = zone.Points;
    if (modifiers & Qt::ShiftModifier) {
        // Moves the edge mark to the neighbouring edge; the corners stay where they are, and so
        // does the active one, under its new number.
        const int active = ActiveCorner();
        if (delta < 0)
            p = {p[1], p[2], p[3], p[0]};
        else
            p = {p[3], p[0], p[1], p[2]};
        if (active >= 0)
            SetActiveCorner((active + (delta < 0 ? 3 : 1)) % 4);
    } else if (modifiers & Qt::ControlModifier) {
        ScaleQuad(p, delta > 0 ? 1.1 : 0.9);
    } else if ((modifiers & Qt::AltModifier) || (buttons & Qt::MiddleButton)) {
        RotateQuad(p, delta * FineRadiansPerDelta);
    } else {
        RotateQuad(p, delta * CoarseRadiansPerDelta);
    }
    QuadChanged(SelectedIndex);
    EditFinished();
    PaintView();
    return true;
}

// ---------------------------------------------------------------------------------------------

void TQuadImager::EditFinished() {
    if (OnEditFinished)
        OnEditFinished(*this);
}

void TQuadImager::CancelDrag() {
    Moving = false;
    DragCorner = -1;
    Snapped.reset();
    // The document is being replaced: the key moves so far are in it, and its zones are new.
    KeyRunTimer.stop();
    KeyRun.Close();
    ClearActiveCorner();
}

bool TQuadImager::HandleUndoKey(int key, Qt::KeyboardModifiers modifiers) {
    if (!Editing || !KeyCommandsEnabled() || !(modifiers & Qt::ControlModifier) ||
        (modifiers & Qt::AltModifier))
        return false;
    const bool undo = key == Qt::Key_Z && !(modifiers & Qt::ShiftModifier);
    const bool redo = key == Qt::Key_Y || (key == Qt::Key_Z && (modifiers & Qt::ShiftModifier));
    if (!undo && !redo)
        return false;
    if (OnUndoRequest)
        OnUndoRequest(*this, redo);
    return true;
}

// ---------------------------------------------------------------------------------------------

int TQuadImager::ActiveCorner() const {
    return ActiveIndex >= 0 && ActiveZone == SelectedIndex && HasValidSelection() ? ActiveIndex
                                                                                  : -1;
}

void TQuadImager::SetActiveCorner(int corner) {
    ActiveIndex = corner;
    ActiveZone = SelectedIndex;
}

long long TQuadImager::Now() const {
    if (Clock)
        return Clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool TQuadImager::HandleEditKey(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    const bool tab = key == Qt::Key_Tab || key == Qt::Key_Backtab;
    if (!arrow && !tab && key != Qt::Key_Escape) {
        if (!IsModifierKey(key))
            FinishKeyRun();
        return false;
    }
    if (!Editing || !KeyCommandsEnabled() || !HasValidSelection() || Moving || DragCorner >= 0)
        return false;
    if (key == Qt::Key_Escape) {
        if (ActiveCorner() < 0)
            return false;
        ClearActiveCorner();
        PaintView();
        return true;
    }
    // Ctrl+Tab and the like belong to the windows.
    if (mods & ~Qt::ShiftModifier)
        return false;
    if (tab) {
        const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        SetActiveCorner(NextCorner(ActiveCorner(), back));
        PaintView();
        return true;
    }
    const double step = (mods & Qt::ShiftModifier) ? CoarseKeyStep : FineKeyStep;
    const double dX = key == Qt::Key_Left ? -step : key == Qt::Key_Right ? step : 0;
    const double dY = key == Qt::Key_Up ? -step : key == Qt::Key_Down ? step : 0;
    if (KeyRun.Press(Now()))
        EditFinished();
    KeyRunTimer.start(static_cast<int>(TKeyRun::GapMs));
    TQuadPoints& p = Quad(SelectedIndex)->Points;
    const int corner = ActiveCorner();
    const bool moved =
        corner >= 0 ? NudgeCorner(p, corner, dX, dY, ViewWidth, ViewHeight) : NudgeZone(p, dX, dY);
    if (moved) {
        QuadChanged(SelectedIndex);
        PaintView();
    }
    return true;
}

void TQuadImager::KeyRunTick() {
    const long long now = Now();
    if (KeyRun.Lapsed(now))
        FinishKeyRun();
    else if (KeyRun.Open())
        KeyRunTimer.start(static_cast<int>(KeyRun.Remaining(now)));
}

void TQuadImager::FinishKeyRun() {
    KeyRunTimer.stop();
    if (KeyRun.Close())
        EditFinished();
}

bool TQuadImager::SetSelectedCorners(const TQuadPoints& corners) {
    if (!Editing || !HasValidSelection() || !IsValidQuad(corners, ViewWidth, ViewHeight))
        return false;
    FinishKeyRun();
    Quad(SelectedIndex)->Points = corners;
    QuadChanged(SelectedIndex);
    EditFinished();
    PaintView();
    return true;
}
