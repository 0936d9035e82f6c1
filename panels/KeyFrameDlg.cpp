#include "panels/KeyFrameDlg.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <new>

#include "engine/Animation.h"
#include "engine/FloatInt.h"
#include "media/Export.h"
#include "media/MovieSource.h"
#include "panels/TextureButton.h"
#include "panels/TimeRamp.h"
#include "platform/Background.h"
#include "platform/ClockTimer.h"
#include "platform/DialogUnits.h"
#include "platform/Document.h"
#include "platform/EditingSession.h"
#include "platform/EventPump.h"
#include "platform/SpinButton.h"
#include "platform/StringTable.h"
#include "platform/UiDialogs.h"
#include "platform/View.h"

namespace {

enum : int {
    kCurrentTimeId = 594,
    kCurrentKeyId = 595,
    kAddKeyId = 1034,
    kDelKeyId = 1035,
    kDurationSpinId = 1036,
    kTimeSpinId = 1037,
    kDurationId = 1038,
    kKeyCountId = 1039,
    kPlayId = 1041,
    kStopId = 1042,
};

// Template 304: 917 x 26 dialog units.  The ramp is made at initialisation.
// The duration and time fields are 50 units wide (the spin takes 11 of
// them): a time of six digits such as "2.49361" or "0.123457" shows whole,
// clear of the spin; the fields and buttons to their right follow on.
const ControlSpec kControls[] = {
    {kDurationId, ControlKind::Edit, {280, 0, 50, 12}},
    {kDurationSpinId, ControlKind::UpDown, {317, 0, 11, 12}, kAutoBuddy},
    {kCurrentTimeId, ControlKind::Edit, {280, 12, 50, 12}},
    {kTimeSpinId, ControlKind::UpDown, {317, 13, 11, 11}, kAutoBuddy},
    {kKeyCountId, ControlKind::Edit, {330, 0, 28, 12}, kReadOnly},
    {kCurrentKeyId, ControlKind::Edit, {330, 12, 28, 12}, kReadOnly},
    {kAddKeyId, ControlKind::PushButton, {358, 0, 22, 25}, kOwnerDraw},
    {kDelKeyId, ControlKind::PushButton, {380, 0, 22, 25}, kOwnerDraw},
    {kPlayId, ControlKind::PushButton, {402, 0, 22, 25}, kOwnerDraw},
    {kStopId, ControlKind::PushButton, {424, 0, 22, 25}, kOwnerDraw},
    {IDOK, ControlKind::DefPushButton, {270, 19, 6, 7}, kHidden},
    {IDCANCEL, ControlKind::PushButton, {270, 16, 6, 7}, kHidden},
};
const DialogTemplate kTemplate{QString(), QSize(917, 26), kControls};
const QRect kRampDlu(0, 0, 278, 25);
// The ramp's window has a sunken client edge (2 pixels) inside a border
// (1 pixel); the ramp control itself is the client area.
constexpr int kRampFrame = 3;

// The layer `index` of the document, while both exist.
morvane::Layer* LayerOf(CDocument* doc, int index)
{
    morvane::LayerSlot* slot = EditingSession::SlotAt(doc, index);
    return slot ? &slot->layer : nullptr;
}

}  // namespace

CKeyFrameDlg::CKeyFrameDlg(EditingSession& session, QWidget* parent)
    : CPanel(session.Ui(), kTemplate, parent), m_session(session)
{
    setObjectName(QStringLiteral("keyFramePanel"));
    resize(MapDialogSize(kTemplate.size));
    Create();
    // Another layer shown: its animation, key 0 and time 0.
    connect(&m_session, &EditingSession::layerShown, this, [this](int) {
        const morvane::Layer* layer = m_session.CurrentLayerRecord();
        if (layer && layer->rec.animated != 0)
            SetAnimation(morvane::KeyCount(*layer), layer->rec.duration);
        else
            SetAnimation(0, 0.0f);
        m_movieLayer = layer && morvane::LayerMovieKind(*layer) != morvane::MovieKind::None;
        if (!m_playing) LockDuration(m_movieLayer);
    });
    connect(&m_session, &EditingSession::noDocumentShown, this, &CKeyFrameDlg::ShowNoDocument);
}

QWidget* CKeyFrameDlg::CreateControl(const ControlSpec& spec, QWidget* parent)
{
    if (spec.style & kOwnerDraw) return new CTextureButton(m_session.Backgrounds(), parent);
    return nullptr;
}

bool CKeyFrameDlg::OnInitDialog()
{
    addKey = GetDlgItem<CTextureButton>(kAddKeyId);
    delKey = GetDlgItem<CTextureButton>(kDelKeyId);
    play = GetDlgItem<CTextureButton>(kPlayId);
    stop = GetDlgItem<CTextureButton>(kStopId);
    const struct {
        CTextureButton* button;
        const char* caption;
        int tip;
    } buttons[] = {{addKey, "Add\nKey", 57739}, {delKey, "Del\nKey", 57740}, {play, "      Play", 57741}, {stop, "      Stop", 57742}};
    for (const auto& b : buttons) {
        b.button->SetCaption(QString::fromLatin1(b.caption));
        b.button->SetStatusText(LoadString(b.tip));
        b.button->setToolTip(LoadString(b.tip));
    }

    ramp = new CTimeRamp(m_session, this);
    connect(ramp, &CTimeRamp::timeShown, this, &CKeyFrameDlg::ShowTime);
    connect(ramp, &CTimeRamp::keyChosen, this, &CKeyFrameDlg::ShowKey);
    ramp->setGeometry(MapDialogRect(kRampDlu).adjusted(kRampFrame, kRampFrame, -kRampFrame, -kRampFrame));
    ramp->show();

    durationEdit = GetDlgItem<QLineEdit>(kDurationId);
    timeEdit = GetDlgItem<QLineEdit>(kCurrentTimeId);
    durationSpin = GetDlgItem<CSpinButtonCtrl>(kDurationSpinId);
    timeSpin = GetDlgItem<CSpinButtonCtrl>(kTimeSpinId);
    // A right-aligned up-down sits at its buddy's right edge and narrows it.
    for (CSpinButtonCtrl* spin : {durationSpin, timeSpin}) {
        spin->SetRange(0, 1000);
        QLineEdit* buddy = spin->GetBuddy();
        const QRect b = buddy->geometry();
        spin->setGeometry(b.right() + 1 - spin->width(), spin->y(), spin->width(), spin->height());
        buddy->resize(b.width() - spin->width(), b.height());
    }
    durationEdit->setToolTip(LoadString(57735));
    timeEdit->setToolTip(LoadString(57736));
    GetDlgItem(kKeyCountId)->setToolTip(LoadString(57737));
    GetDlgItem(kCurrentKeyId)->setToolTip(LoadString(57738));
    // A typed duration or time is taken whenever its field loses the focus
    // (and, through CommitFocusedField, before a command reads the layer).
    OnKillFocus(kDurationId, [this] { OnKillFocusDuration(); });
    OnKillFocus(kCurrentTimeId, [this] { OnKillFocusTime(); });

    connect(addKey, &QAbstractButton::clicked, this, &CKeyFrameDlg::OnAddKey);
    connect(delKey, &QAbstractButton::clicked, this, &CKeyFrameDlg::OnDelKey);
    connect(play, &QAbstractButton::clicked, this, &CKeyFrameDlg::OnPlay);
    connect(stop, &QAbstractButton::clicked, this, &CKeyFrameDlg::OnStop);
    connect(durationSpin, &CSpinButtonCtrl::deltaPos, this, &CKeyFrameDlg::OnDeltaPosDuration);
    connect(timeSpin, &CSpinButtonCtrl::deltaPos, this, &CKeyFrameDlg::OnDeltaPosTime);
    return CPanel::OnInitDialog();
}

void CKeyFrameDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, kDurationId, duration);
    DDV_MinMaxFloat(pDX, duration, 0.0f, morvane::kLongestMovieSeconds);
    DDX_Text(pDX, kKeyCountId, keyCount);
    DDX_Text(pDX, kCurrentKeyId, currentKey);
    DDX_Text(pDX, kCurrentTimeId, currentTime);
    DDV_MinMaxFloat(pDX, currentTime, 0.0f, morvane::kLongestMovieSeconds);
}

void CKeyFrameDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_session.Backgrounds().For(this));
    // The ramp's border and sunken edge.
    const QRect r = ramp ? ramp->geometry().adjusted(-kRampFrame, -kRampFrame, kRampFrame - 1, kRampFrame - 1) : QRect();
    if (r.isEmpty()) return;
    auto frame = [&p](const QRect& f, QColor topLeft, QColor bottomRight) {
        p.setPen(topLeft);
        p.drawLine(f.topLeft(), f.topRight());
        p.drawLine(f.topLeft(), f.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(f.bottomLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomRight());
    };
    frame(r, Qt::black, Qt::black);
    frame(r.adjusted(1, 1, -1, -1), QColor(128, 128, 128), Qt::white);
    frame(r.adjusted(2, 2, -2, -2), QColor(64, 64, 64), QColor(192, 192, 192));
}

// ---------------------------------------------------------------------------
// Values shown

void CKeyFrameDlg::SetCurrentKey(int k)
{
    currentKey = k;
    m_session.SetCurrentKey(k);
}

void CKeyFrameDlg::MoveRamp(float seconds)
{
    ramp->currentTime = seconds;
    ramp->Invalidate();
    ramp->UpdateWindow();
}

void CKeyFrameDlg::SetAnimation(int count, float seconds)
{
    keyCount = count;
    duration = m_givenDuration = seconds;
    SetCurrentKey(0);
    currentTime = m_givenTime = 0.0f;
    UpdateData(false);
    ramp->length = seconds;
    MoveRamp(0.0f);
}

void CKeyFrameDlg::ShowNoDocument()
{
    SetAnimation(0, 0.0f);
    ramp->ShowNoDocument();
    m_movieLayer = false;
    if (!m_playing) LockDuration(false);
}

void CKeyFrameDlg::ShowKey(int k, float seconds)
{
    SetCurrentKey(k);
    ShowTime(seconds);
}

void CKeyFrameDlg::ShowTime(float seconds)
{
    currentTime = m_givenTime = seconds;
    UpdateData(false);
}

void CKeyFrameDlg::ShowFrameTime(float seconds)
{
    MoveRamp(seconds);
    ShowTime(seconds);
    if (timeEdit) timeEdit->repaint();
}

void CKeyFrameDlg::LockDuration(bool locked)
{
    durationEdit->setReadOnly(locked);
    durationSpin->setEnabled(!locked);
}

// ---------------------------------------------------------------------------
// Keys

void CKeyFrameDlg::OnAddKey()
{
    if (m_playing || !m_session.Document() || !UpdateData(true)) return;
    const int added = m_session.AddKey(currentKey);
    if (added < 0) return;
    keyCount = morvane::KeyCount(*m_session.CurrentLayerRecord());
    SetCurrentKey(added);
    UpdateData(false);
    // The ramp keeps its highlighted key.
    ramp->Invalidate();
    ramp->UpdateWindow();
}

void CKeyFrameDlg::OnDelKey()
{
    if (m_playing || !m_session.Document() || !UpdateData(true) || keyCount <= 2) return;
    const int current = m_session.DeleteKey(currentKey);
    if (current < 0) return;
    const morvane::Layer* layer = m_session.CurrentLayerRecord();
    keyCount = morvane::KeyCount(*layer);
    SetCurrentKey(current);
    const float seconds = layer->keys[static_cast<size_t>(current)].rec.time * duration;
    currentTime = m_givenTime = seconds;
    UpdateData(false);
    ramp->currentKey = current;
    MoveRamp(seconds);
    m_session.LoadKey(current);
}

// ---------------------------------------------------------------------------
// Duration and time

void CKeyFrameDlg::OnKillFocusDuration()
{
    if (m_playing || !m_session.Document() || !UpdateData(true)) return;
    if (ShowsSameFloat(duration, m_givenDuration)) {
        UpdateData(false);
        return;
    }
    m_session.SetDuration(duration);
    m_givenDuration = ramp->length = duration;
    currentTime = m_givenTime = 0.0f;
    MoveRamp(0.0f);
    durationSpin->SetPos(morvane::SatTrunc(duration));
    UpdateData(false);
}

void CKeyFrameDlg::OnKillFocusTime()
{
    if (!m_session.Document() || !UpdateData(true)) return;
    currentTime = std::min(currentTime, duration);
    const bool changed = !ShowsSameFloat(currentTime, m_givenTime);
    if (changed) {
        m_givenTime = currentTime;
        MoveRamp(currentTime);
        timeSpin->SetPos(morvane::SatTrunc(currentTime));
    }
    UpdateData(false);
    if (changed) m_session.Commit();
}

void CKeyFrameDlg::OnDeltaPosDuration(int pos, int)
{
    if (m_playing) return;
    UpdateData(true);
    duration = static_cast<float>(pos);
    UpdateData(false);
}

void CKeyFrameDlg::OnDeltaPosTime(int pos, int)
{
    UpdateData(true);
    currentTime = static_cast<float>(pos);
    UpdateData(false);
}

// ---------------------------------------------------------------------------
// Playing

void CKeyFrameDlg::OnStop() { m_stopRequested = true; }

void CKeyFrameDlg::OnPlay()
{
    if (m_playing) return;
    QPointer<CView> view = m_session.View();
    if (!view || !UpdateData(true)) return;
    QPointer<CDocument> doc = m_session.Document();
    const int index = m_session.CurrentLayerIndex();
    morvane::Layer* layer = LayerOf(doc, index);
    if (!layer || layer->rec.animated == 0) return;
    const float seconds = duration;
    const int frames = morvane::FrameCount(morvane::FrameRun::Play, seconds);
    if (frames <= 0) return;

    m_playing = true;
    m_stopRequested = false;
    LockDuration(true);
    const morvane::Layer saved = *layer;

    // Between frames: input to this panel and to message boxes passes,
    // the rest waits until the end; paint events and timers run.
    PumpPolicy policy;
    policy.holdKeys = true;
    policy.passes = [this](QWidget* w) {
        if (w == this || isAncestorOf(w)) return true;
        QWidget* modal = QApplication::activeModalWidget();
        return modal && (w == modal || modal->isAncestorOf(w));
    };
    EventPump pump(policy);

    // Frame i shows no earlier than i / 25 s after Play began; a late frame
    // shows at once, and no frame is left out.  While it waits, the panel
    // takes its input, so that Stop (or a window closing) ends the play
    // at once.
    auto ended = [&] { return m_stopRequested || pump.CloseRequested(); };
    ClockTimer wake;
    const int64_t start = ClockTimer::Now();
    const int last = frames - 1;
    bool outOfMemory = false;
    for (int i = 0; i < frames; ++i) {
        pump.Pump();
        const int64_t due = start + int64_t{i} * 1000 / morvane::kFramesPerSecond;
        while (!ended() && ClockTimer::Now() < due) {
            wake.Start(static_cast<int>(due - ClockTimer::Now()), false);
            pump.Wait();
        }
        wake.Stop();
        layer = LayerOf(doc, index);
        if (ended() || !layer || !view) break;
        const float t = morvane::FrameTime(i, seconds);
        morvane::InterpolateLayerAt(*layer, t, {.lastFrame = i == last});
        // The last frame shows the movie frame before it again.
        try {
            morvane::ShowMovieFrame(*layer, i == last ? std::max(0, last - 1) : i);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            break;
        }
        m_session.Show(EditingSession::Image);
        ShowFrameTime(t * seconds);
        emit frameShown(i);
    }
    morvane::CloseMovieSources();

    // The layer as it was, but with the keys as they are now (a key moved
    // on the ramp while playing stays moved).
    if ((layer = LayerOf(doc, index))) {
        std::vector<morvane::Keyframe> keys = std::move(layer->keys);
        const int32_t count = layer->rec.keyCount;
        *layer = saved;
        layer->keys = std::move(keys);
        layer->rec.keyCount = count;
    }
    m_playing = false;
    LockDuration(m_movieLayer);
    if (view && doc) m_session.Show(EditingSession::Image);
    pump.Finish();
    if (outOfMemory) Ui().Message(QStringLiteral("The animation stopped: there is not enough memory for its movie."));
}
