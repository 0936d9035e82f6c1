// CKeyFrameDlg: the strip in the bottom bar that edits and plays the key-frame
// animation of the current layer: the time ramp, the duration and the
// current time (edits with up-down controls), the number of keys and the
// current key (read-only), and Add Key, Del Key, Play and Stop.
//
// The panel owns the number of the current key (the editing session hears
// of every change, so that the other editors write that key too); the
// animation itself (duration, keys) lives in the current layer.
//
// Play renders frame after frame in the view inside OnPlay, at 25 frames
// per second of the program's clock (platform/ClockTimer): frame i shows no
// earlier than i / 25 s after the start, a late one at once.  Between and
// while waiting for frames an event pump lets input to this panel (Stop)
// and to modal message boxes through and holds all other input until Play
// has ended; a window asked to close ends Play as Stop does and is closed
// afterwards.  While playing, a second Play, Add Key, Del Key and the
// duration are refused.  Afterwards the layer is as it was before Play and
// the view shows it again.
#pragma once

#include <QLineEdit>

#include "engine/Records.h"
#include "platform/DataExchange.h"
#include "platform/Panel.h"

class CSpinButtonCtrl;
class CTextureButton;
class CTimeRamp;
class EditingSession;

class CKeyFrameDlg : public CPanel {
    Q_OBJECT
public:
    explicit CKeyFrameDlg(EditingSession& session, QWidget* parent = nullptr);

    // What other panels tell the key-frame panel after an animation was
    // switched on or off or a layer was shown: the count and duration,
    // with key 0 and time 0 current.
    void SetAnimation(int count, float seconds);
    // No document is active: the values and the ramp as at start-up.
    void ShowNoDocument();

    // Makes key k current (-1: none) with the cursor at `seconds`, as a
    // click on a key's mark does; ShowTime moves only the time.
    void ShowKey(int k, float seconds);
    void ShowTime(float seconds);
    // The time of a frame being played or exported: the time field and the
    // ramp's cursor, drawn at once (no event need be handled).
    void ShowFrameTime(float seconds);

    bool IsPlaying() const { return m_playing; }

    CTextureButton* play = nullptr;    // 1041
    CTextureButton* stop = nullptr;    // 1042
    CTextureButton* addKey = nullptr;  // 1034
    CTextureButton* delKey = nullptr;  // 1035
    CTimeRamp* ramp = nullptr;
    CSpinButtonCtrl* timeSpin = nullptr;      // 1037
    CSpinButtonCtrl* durationSpin = nullptr;  // 1036
    QLineEdit* durationEdit = nullptr;        // 1038
    QLineEdit* timeEdit = nullptr;            // 594

    float duration = 0.0f;     // seconds, edit 1038
    int keyCount = 0;          // edit 1039
    int currentKey = 0;        // edit 595, 0-based
    float currentTime = 0.0f;  // seconds, edit 594

signals:
    // Frame `frame` of a play is in the view.
    void frameShown(int frame);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    QWidget* CreateControl(const ControlSpec& spec, QWidget* parent) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnAddKey();
    void OnDelKey();
    void OnKillFocusDuration();
    void OnKillFocusTime();
    void OnPlay();
    void OnStop();
    void OnDeltaPosDuration(int pos, int delta);
    void OnDeltaPosTime(int pos, int delta);

    // The panel's current key, told to the editing session as well.
    void SetCurrentKey(int k);
    // The ramp shows `seconds` and repaints at once.
    void MoveRamp(float seconds);
    // The duration cannot be changed while playing, nor for a layer that
    // shows a movie (its duration is the movie's).
    void LockDuration(bool locked);

    EditingSession& m_session;
    // The duration and the time the fields were last given, or took from
    // the user: a field left showing it changes nothing.
    float m_givenDuration = 0.0f;
    float m_givenTime = 0.0f;
    bool m_playing = false;
    bool m_movieLayer = false;
    bool m_stopRequested = false;
};
