#include "panels/KvoSlider.h"

#include <QFontMetrics>
#include <QHash>
#include <QPolygon>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "engine/FloatInt.h"
#include "engine/Patterns.h"
#include "platform/Background.h"
#include "platform/EditingSession.h"
#include "platform/StringTable.h"

using morvane::LayerRecord;

namespace {

constexpr float kTenth = 0.1f;
constexpr float kHundredth = 0.01f;
constexpr float kTurn = 1.0f / 360.0f;

// id, rectangle (left, top, right, bottom), max, caption, tooltip, field, factor, inverse.
constexpr SliderInfo kSliders[] = {
    {0, 3, 90, 23, 180, 20, 57722, 57678, SliderField::LayerInt16, offsetof(LayerRecord, detail), 1.0f, 1},
    {1, 23, 90, 43, 180, 200, 57723, 57683, SliderField::LayerFloat, offsetof(LayerRecord, turbulence), kHundredth, 100},
    {2, 83, 90, 103, 180, 1000, 57724, 57679, SliderField::LayerFloat, offsetof(LayerRecord, scaleX), kTenth, 10},
    {3, 103, 90, 123, 180, 1000, 57725, 57682, SliderField::LayerFloat, offsetof(LayerRecord, scaleY), kTenth, 10},
    {4, 123, 90, 143, 180, 1000, 57726, 57729, SliderField::LayerFloat, offsetof(LayerRecord, scaleZ), kTenth, 10},
    {5, 143, 90, 163, 180, 100, 57727, 57731, SliderField::LayerFloat, offsetof(LayerRecord, offsetZ), kTenth, 10},
    {6, 22, 200, 42, 290, 200, 57728, 57688, SliderField::LayerFloat, offsetof(LayerRecord, reliefIntensity), kTenth, 10},
    {7, 82, 200, 102, 290, 2000, 57724, 57685, SliderField::LayerFloat, offsetof(LayerRecord, reliefScaleX), kTenth, 10},
    {8, 102, 200, 122, 290, 2000, 57725, 57686, SliderField::LayerFloat, offsetof(LayerRecord, reliefScaleY), kTenth, 10},
    {9, 122, 200, 142, 290, 2000, 57726, 57730, SliderField::LayerFloat, offsetof(LayerRecord, reliefScaleZ), kTenth, 10},
    {10, 142, 200, 162, 290, 100, 57727, 57732, SliderField::LayerFloat, offsetof(LayerRecord, reliefOffsetZ), kTenth, 10},
    {11, 43, 90, 63, 180, 100, 57743, 57746, SliderField::LayerFloat, offsetof(LayerRecord, lacunarity), kTenth, 10},
    {12, 63, 90, 83, 180, 100, 57744, 57747, SliderField::LayerFloat, offsetof(LayerRecord, omega), kHundredth, 100},
    {13, 2, 200, 22, 290, 20, 57745, 57748, SliderField::LayerInt32, offsetof(LayerRecord, reliefDetail), 1.0f, 1},
    {14, 163, 90, 183, 180, 360, 57749, 57749, SliderField::Orientation, 0, kTurn, 360},
    {15, 162, 200, 182, 290, 360, 57749, 57756, SliderField::ReliefOrientation, 0, kTurn, 360},
    {16, 42, 200, 62, 290, 200, 57750, 57750, SliderField::LayerFloat, offsetof(LayerRecord, frequency), kTenth, 10},
    {17, 62, 200, 82, 290, 200, 57751, 57751, SliderField::LayerFloat, offsetof(LayerRecord, phase), kHundredth, 100},
    {18, 3, 54, 83, 74, 100, 57752, 0, SliderField::BlendCoef, 0, kHundredth, 100},
};

constexpr int kRepeatTimer = 1;
constexpr int kFirstDelayMs = 200;
constexpr int kDelayStepMs = 10;
constexpr int kShortestDelayMs = 10;

// The parts of the slider, drawn by the program: each is a small image.
QImage Part(int w, int h, QRgb fill, QRgb edge)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(fill);
    CDC dc(img);
    dc.FrameRect(img.rect(), edge);
    return img;
}

const QImage& ArrowImage(bool pressed)
{
    static const QImage normal = Part(11, 11, qRgb(200, 204, 212), qRgb(200, 204, 212));
    static const QImage down = Part(11, 11, qRgb(120, 124, 132), qRgb(120, 124, 132));
    return pressed ? down : normal;
}

const QImage& ThumbImage()
{
    static const QImage thumb = Part(12, 12, qRgb(236, 200, 90), qRgb(236, 200, 90));
    return thumb;
}

const QImage& ValueBoxImage(bool horizontal)
{
    static const QImage vertical = Part(10, 52, qRgb(236, 236, 228), qRgb(64, 64, 64));
    static const QImage across = Part(48, 11, qRgb(236, 236, 228), qRgb(64, 64, 64));
    return horizontal ? across : vertical;
}

void BlitThrough(CDC* dc, QPoint at, const QImage& image, const QPolygon& shape)
{
    dc->SelectClipPolygon(shape);
    dc->BitBlt(at, image, image.rect(), SRCCOPY);
    dc->ResetClip();
}

// The largest bold Arial of at most `cell` pixels for which `fits` holds
// (the smallest legible one when none does).
QFont LargestFont(int cell, const std::function<bool(const QFontMetrics&)>& fits)
{
    for (int c = cell; c > 7; --c) {
        const QFont font = MakeFont(QStringLiteral("Arial"), c, 700);
        if (fits(QFontMetrics(font))) return font;
    }
    return MakeFont(QStringLiteral("Arial"), 7, 700);
}

// Text drawn one character a line, down a column: the font, the distance
// between the lines, and the offset from the top of a line's cell to the
// top of its tallest ink.
struct Column {
    QFont font;
    int pitch = 0;
    int inkTop = 0;
};

// The font in which `ch` is drawn in a column `width` pixels wide: `font`,
// or for a letter wider than that ("m") the same font condensed until it
// fits; null when even the narrowest does not.
std::optional<QFont> LetterFont(const QFont& font, QChar ch, int width)
{
    QFont narrow = font;
    for (int stretch = 100; stretch >= 50; stretch -= 5) {
        narrow.setStretch(stretch);
        if (QFontMetrics(narrow).boundingRect(ch).width() <= width) return narrow;
    }
    return std::nullopt;
}

// The largest bold Arial of at most `cell` pixels, and the widest line
// spacing up to `pitch`, with which `text` fits the `room` one character a
// line: each character as wide as the room at most, the last one ending
// in it, and a clear row (for the shadow) between the ink of two lines.
// Below the smallest legible size the text is squeezed in anyway.
Column FitColumn(const QString& text, QSize room, int cell, int pitch)
{
    const int n = std::max<int>(1, static_cast<int>(text.size()));
    Column squeezed;
    for (int c = cell; c >= 7; --c) {
        const QFont font = MakeFont(QStringLiteral("Arial"), c, 700);
        const QFontMetrics metrics(font);
        bool narrowEnough = true;
        int top = metrics.ascent(), bottom = 0;  // ink below the cell's top
        std::vector<std::pair<int, int>> ink;    // each character's top and bottom
        for (QChar ch : text) {
            const QRect r = metrics.boundingRect(ch);
            narrowEnough = narrowEnough && LetterFont(font, ch, room.width());
            if (ch.isSpace() || r.isEmpty()) {
                ink.emplace_back(INT_MAX, INT_MIN);
                continue;
            }
            ink.emplace_back(metrics.ascent() + r.top(), metrics.ascent() + r.bottom());
            top = std::min(top, ink.back().first);
            bottom = std::max(bottom, ink.back().second);
        }
        squeezed = {font, std::max(1, room.height() / n), top};
        if (!narrowEnough) continue;
        for (int p = pitch; p >= 1; --p) {
            bool clear = (n - 1) * p + bottom - top + 1 <= room.height();
            for (size_t i = 0; clear && i + 1 < ink.size(); ++i)
                clear = ink[i].second == INT_MIN || ink[i + 1].first == INT_MAX || ink[i].second + 2 <= p + ink[i + 1].first;
            if (clear) return {font, p, top};
        }
    }
    return squeezed;
}

// Text laid out for drawing: each piece in its font, from the point where
// TextOut puts it (the top left of its cell).
struct TextPiece {
    QFont font;
    QPoint at;
    QString text;
};
using TextLayout = std::vector<TextPiece>;

// `text` one character a line down the column `room`, each character
// centred across it, in the fonts FitColumn finds.
TextLayout LayOutColumn(const QString& text, const QRect& room, int cell, int pitch)
{
    const Column column = FitColumn(text, room.size(), cell, pitch);
    TextLayout layout;
    for (int i = 0; i < text.size(); ++i) {
        const QFont font = LetterFont(column.font, text[i], room.width()).value_or(column.font);
        const QRect ink = QFontMetrics(font).boundingRect(text[i]);
        const int x = room.left() + (room.width() - ink.width()) / 2 - ink.left();
        const int y = room.top() - column.inkTop + i * column.pitch;
        layout.push_back({font, QPoint(x, y), QString(text[i])});
    }
    return layout;
}

// Draws `layout` in `colour`, moved by `offset`.
void DrawLayout(CDC* dc, const TextLayout& layout, QPoint offset, QRgb colour)
{
    dc->SetTextColor(colour);
    for (const TextPiece& piece : layout) {
        dc->SelectFont(piece.font);
        dc->TextOut(piece.at + offset, piece.text);
    }
}

// The step of an arrow key: Up and Right add one, Down and Left take one
// away; 0 for any other key.
int ArrowKeyStep(int key)
{
    if (key == Qt::Key_Up || key == Qt::Key_Right) return 1;
    if (key == Qt::Key_Down || key == Qt::Key_Left) return -1;
    return 0;
}

// How many value layouts a slider keeps before it starts afresh.
constexpr qsizetype kKeptValueLayouts = 256;

}  // namespace

// Finding the sizes that fit takes many font look-ups, too many to repeat at
// every paint: the caption is laid out again only when it or the slider's
// size changes, and the value once for each string of digits (its box is
// always the same size).
struct CKvoSlider::TextLayouts {
    // The caption, in the slider's coordinates.
    const TextLayout& Caption(const QString& text, QSize size, bool horizontal);
    // The value, in the coordinates of the inside of its box, `room`.
    const TextLayout& Value(const QString& digits, QSize room, bool horizontal);

private:
    QString m_caption;  // what `m_captionLayout` was laid out for
    QSize m_size;
    TextLayout m_captionLayout;
    QHash<QString, TextLayout> m_values;
};

const TextLayout& CKvoSlider::TextLayouts::Caption(const QString& text, QSize size, bool horizontal)
{
    if (size == m_size && text == m_caption) return m_captionLayout;
    m_caption = text;
    m_size = size;
    const int right = size.width(), bottom = size.height();
    if (horizontal) {
        // Above the track and between the arrows, with a clear row and
        // column around the shadow.
        const QFont font = LargestFont(16, [&](const QFontMetrics& m) {
            const QRect ink = m.tightBoundingRect(text);
            return m.ascent() + ink.bottom() + 2 < 13 && 12 + ink.right() < right - 12;
        });
        m_captionLayout = {{font, QPoint(11, 0), text}};
    } else {
        m_captionLayout = LayOutColumn(text, WinRect(right - 11, 12, right - 2, bottom - 12), 16, 11);
    }
    return m_captionLayout;
}

const TextLayout& CKvoSlider::TextLayouts::Value(const QString& digits, QSize room, bool horizontal)
{
    if (auto found = m_values.constFind(digits); found != m_values.constEnd()) return *found;
    if (m_values.size() >= kKeptValueLayouts) m_values.clear();
    if (!horizontal) return *m_values.insert(digits, LayOutColumn(digits, QRect(QPoint(0, 0), room), 12, 12));
    const QFont font = LargestFont(12, [&](const QFontMetrics& m) {
        const QRect ink = m.tightBoundingRect(digits);
        return ink.width() <= room.width() - 2 && ink.height() <= room.height();
    });
    const QFontMetrics metrics(font);
    const QRect ink = metrics.tightBoundingRect(digits);
    const QPoint at((room.width() - ink.width()) / 2 - ink.left(),
                    (room.height() - ink.height()) / 2 - ink.top() - metrics.ascent());
    return *m_values.insert(digits, {{font, at, digits}});
}

std::span<const SliderInfo> SliderTable() { return kSliders; }

const SliderInfo& SliderInfoOf(int id) { return kSliders[std::clamp(id, 0, 18)]; }

int SliderPosition(const SliderInfo& info, const morvane::LayerSlot& slot)
{
    const LayerRecord& rec = slot.layer.rec;
    switch (info.field) {
    // The two counts (detail, relief detail) show through the limit the
    // patterns apply, so a hostile stored count shows as what renders.
    case SliderField::LayerInt16: return morvane::LimitedDetail(rec);
    case SliderField::LayerInt32: return morvane::LimitedReliefDetail(rec);
    case SliderField::LayerFloat:
        return morvane::SatTrunc(static_cast<double>(morvane::ReadField<float>(rec, info.offset)) * info.inverse);
    case SliderField::Orientation: return morvane::SatTrunc(static_cast<double>(slot.orientation) * info.inverse);
    case SliderField::ReliefOrientation:
        return morvane::SatTrunc(static_cast<double>(slot.reliefOrientation) * info.inverse);
    case SliderField::BlendCoef: return morvane::SatTrunc(static_cast<double>(slot.blendCoef) * info.inverse);
    }
    return 0;
}

CKvoSlider::CKvoSlider(EditingSession& session, bool isHorizontal, QWidget* parent)
    : CWnd(parent), horizontal(isHorizontal), m_session(session), m_layouts(std::make_unique<TextLayouts>())
{
    setFocusPolicy(Qt::StrongFocus);
}

CKvoSlider::~CKvoSlider() = default;

void CKvoSlider::SetRange(int minimum, int maximum)
{
    minValue = minimum;
    maxValue = maximum;
}

void CKvoSlider::SetCaption(int stringId) { caption = LoadString(stringId); }

void CKvoSlider::ApplyValue()
{
    const SliderInfo& info = SliderInfoOf(sliderId);
    const float scaled = static_cast<float>(value) * info.factor;
    switch (info.field) {
    case SliderField::LayerInt16: m_session.SetLayerField(info.offset, static_cast<int16_t>(value)); break;
    case SliderField::LayerInt32: m_session.SetLayerField(info.offset, static_cast<int32_t>(value)); break;
    case SliderField::LayerFloat: m_session.SetLayerField(info.offset, scaled); break;
    case SliderField::Orientation: m_session.SetSlotField(morvane::SlotField::Orientation, scaled); break;
    case SliderField::ReliefOrientation: m_session.SetSlotField(morvane::SlotField::ReliefOrientation, scaled); break;
    case SliderField::BlendCoef: m_session.SetSlotField(morvane::SlotField::BlendCoef, scaled); break;
    }
}

int CKvoSlider::ThumbOffset() const
{
    const int range = maxValue - minValue;
    const int travel = Length() - 22;
    if (range == 0 || travel <= 0) return 0;
    // A value outside the range shows the thumb at the nearer end.
    const long long l = static_cast<long long>(travel) * (value - minValue) / range;
    return static_cast<int>(std::clamp<long long>(l, 0, travel));
}

int CKvoSlider::ValueAt(QPoint point) const
{
    const int travel = Length() - 22;
    if (travel <= 0) return value;
    const int along = horizontal ? point.x() - 11 : height() - point.y() - 11;
    const long long v = static_cast<long long>(along) * (maxValue - minValue) / travel;
    return static_cast<int>(std::max<long long>(std::min<long long>(v, maxValue), minValue));
}

// ---------------------------------------------------------------------------
// Painting

void CKvoSlider::OnPaint(CDC* dc)
{
    const int left = 0, top = 0, right = width(), bottom = height();
    dc->BitBlt(QPoint(0, 0), m_session.Backgrounds().For(this), rect(), SRCCOPY);

    // The track: a grey outline on white, sunk by a bevel.
    const QRect track = horizontal ? WinRect(left + 12, top + 14, right - 12, bottom - 15)
                                   : WinRect(left + 14, top + 11, right - 12, bottom - 11);
    dc->SetPenColor(qRgb(128, 128, 128));
    dc->SetBrushColor(qRgb(255, 255, 255));
    dc->Rectangle(track);
    if (!track.isEmpty()) {
        const int l = track.left(), t = track.top(), r = track.right(), b = track.bottom();
        dc->FillRect(QRect(l, t, track.width(), 1), qRgb(64, 64, 64));
        dc->FillRect(QRect(l, t, 1, track.height()), qRgb(64, 64, 64));
        dc->FillRect(QRect(l, b, track.width(), 1), qRgb(255, 255, 255));
        dc->FillRect(QRect(r, t, 1, track.height()), qRgb(255, 255, 255));
        if (track.width() > 2 && track.height() > 2) {
            dc->FillRect(QRect(l + 1, t + 1, track.width() - 2, 1), qRgb(32, 32, 32));
            dc->FillRect(QRect(l + 1, t + 1, 1, track.height() - 2), qRgb(32, 32, 32));
            dc->FillRect(QRect(l + 1, b - 1, track.width() - 2, 1), qRgb(192, 192, 192));
            dc->FillRect(QRect(r - 1, t + 1, 1, track.height() - 2), qRgb(192, 192, 192));
        }
    }

    // The arrows, each an 11 x 11 picture through a triangle.
    if (horizontal) {
        BlitThrough(dc, QPoint(left, top + 10), ArrowImage(upPressed),
                    QPolygon({QPoint(left + 9, top + 10), QPoint(left, top + 15), QPoint(left + 9, top + 20)}));
        BlitThrough(dc, QPoint(right - 11, top + 10), ArrowImage(downPressed),
                    QPolygon({QPoint(right - 10, top + 10), QPoint(right - 1, top + 15), QPoint(right - 10, top + 20)}));
    } else {
        BlitThrough(dc, QPoint(left + 11, top), ArrowImage(upPressed),
                    QPolygon({QPoint(left + 11, top + 9), QPoint(left + 16, top), QPoint(left + 21, top + 9)}));
        BlitThrough(dc, QPoint(left + 11, bottom - 11), ArrowImage(downPressed),
                    QPolygon({QPoint(left + 11, bottom - 10), QPoint(left + 16, bottom - 1), QPoint(left + 21, bottom - 10)}));
    }

    // The caption: dark grey, then white one pixel up and left.  A vertical
    // caption goes one letter a line beside the track, between the arrows
    // and clear of the slider on the right, in a smaller size where the
    // letters would not fit or would run into each other.
    const TextLayout& captionText = m_layouts->Caption(caption, size(), horizontal);
    DrawLayout(dc, captionText, horizontal ? QPoint(1, 2) : QPoint(1, 1), qRgb(64, 64, 64));
    DrawLayout(dc, captionText, QPoint(0, 0), qRgb(255, 255, 255));

    // The thumb and the box with the value.
    const int l = ThumbOffset();
    if (horizontal) {
        BlitThrough(dc, QPoint(left + l + 5, bottom - 17), ThumbImage(),
                    QPolygon({QPoint(left + l + 5, bottom - 8), QPoint(left + l + 10, bottom - 17),
                              QPoint(left + l + 16, bottom - 8)}));
    } else {
        BlitThrough(dc, QPoint(left + 7, bottom - l - 17), ThumbImage(),
                    QPolygon({QPoint(left + 7, bottom - l - 17), QPoint(left + 16, bottom - l - 12),
                              QPoint(left + 7, bottom - l - 6)}));
    }
    // The value in black inside its box: a vertical box holds one digit a
    // line, a horizontal one the number centred; a smaller size where the
    // digits would not fit.  The box follows the thumb but stays inside the
    // slider, so that the value is never cut off at the ends of the track.
    const QImage& box = ValueBoxImage(horizontal);
    const QString digits = QString::asprintf("%d", value);
    QPoint at;
    if (horizontal) at = QPoint(std::clamp(left + l - 22, left, std::max(left, right - box.width())), bottom - 11);
    else at = QPoint(left, std::clamp(bottom - l - 25, top, std::max(top, bottom - box.height())));
    dc->BitBlt(at, box, box.rect());
    const QRect inside = QRect(at, box.size()).adjusted(1, 1, -1, -1);
    DrawLayout(dc, m_layouts->Value(digits, inside.size(), horizontal), inside.topLeft(), qRgb(0, 0, 0));
    if (ShowsFocus(this)) dc->DrawFocusRect(rect());
}

// ---------------------------------------------------------------------------
// Mouse

void CKvoSlider::OnLButtonDown(QPoint point)
{
    if (!enabled || Repeating() || m_dragging) return;
    const int along = horizontal ? point.x() : point.y();
    const int length = Length();
    const bool first = along <= 11;            // top or left arrow
    const bool second = along >= length - 11;  // bottom or right arrow
    if (first || second) {
        // The top arrow of a vertical slider and the right arrow of a
        // horizontal one add; the other two subtract.
        m_repeatStep = (first != horizontal) ? 1 : -1;
        m_repeatDelay = kFirstDelayMs;
        SetCapture();
        RepeatStep();
        return;
    }
    m_dragging = true;
    SetCapture();
    value = ValueAt(point);
    ApplyValue();
    Invalidate();
    UpdateWindow();
}

void CKvoSlider::Step(int step)
{
    const bool first = (step > 0) != horizontal;  // the top or left arrow
    upPressed = first ? 1 : 0;
    downPressed = first ? 0 : 1;
    if (step > 0 && value < maxValue) ++value;
    if (step < 0 && value > minValue) --value;
    ApplyValue();
    Invalidate();
    UpdateWindow();
}

void CKvoSlider::RepeatStep()
{
    m_repeatNoted = ClockTimer::Now();
    Step(m_repeatStep);
    // The next step once more than the delay has passed since this one
    // began; the delay shortens by 10 ms down to 10 ms.
    const int64_t due = m_repeatNoted + m_repeatDelay + 1;
    if (m_repeatDelay > kShortestDelayMs) m_repeatDelay -= kDelayStepMs;
    SetTimer(kRepeatTimer, static_cast<int>(std::max<int64_t>(0, due - ClockTimer::Now())));
}

void CKvoSlider::OnTimer(int id)
{
    if (id != kRepeatTimer) return;
    KillTimer(kRepeatTimer);
    if (!Repeating()) return;
    if (!HasCapture()) return;  // the mouse was taken: OnCaptureChanged ended it
    RepeatStep();
}

void CKvoSlider::OnMouseMove(QPoint point)
{
    if (!m_dragging || !HasCapture()) return;
    const int along = horizontal ? point.x() : point.y();
    const int length = Length();
    if (along <= 10 || along > length - 11) return;
    value = ValueAt(point);
    ApplyValue();
    Invalidate();
    UpdateWindow();
}

void CKvoSlider::OnLButtonUp(QPoint)
{
    if (Repeating()) {
        EndRepeat();
        return;
    }
    if (!m_dragging) return;
    m_dragging = false;
    ReleaseCapture();
    Finish();
}

void CKvoSlider::EndRepeat()
{
    KillTimer(kRepeatTimer);
    m_repeatStep = 0;
    ReleaseCapture();
    ApplyValue();
    Finish();
}

void CKvoSlider::Finish()
{
    upPressed = downPressed = 0;
    Invalidate();
    UpdateWindow();
    m_session.Show(EditingSession::Image | EditingSession::Thumbnail);
}

// ---------------------------------------------------------------------------
// Keyboard

bool CKvoSlider::OnKeyDown(int key, bool)
{
    // An arrow key steps as a click on the arrow that steps the same way.
    const int step = ArrowKeyStep(key);
    if (step == 0) return false;
    if (!Repeating() && !m_dragging) Step(step);
    return true;
}

bool CKvoSlider::OnKeyUp(int key, bool repeat)
{
    if (ArrowKeyStep(key) == 0) return false;
    // A held key steps on; its last release renders, as a released arrow.
    if (!repeat && (upPressed || downPressed) && !Repeating() && !m_dragging) Finish();
    return true;
}

void CKvoSlider::OnCaptureChanged()
{
    // The mouse went elsewhere: the press ends as a release would end it.
    if (Repeating()) {
        KillTimer(kRepeatTimer);
        m_repeatStep = 0;
        ApplyValue();
        Finish();
    } else if (m_dragging) {
        m_dragging = false;
        Finish();
    }
}
