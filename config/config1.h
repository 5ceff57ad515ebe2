// The configuration window: shows the instrument's 48 configuration
// registers as it holds them (read back once a second) and writes one
// register each time the operator leaves a choice box or text box that they
// changed.
//
// How the instrument is read and written is the business of ParamAccess
// (config/param_access.h): the window starts its cycles and writes, and shows
// what it signals.
//
// Usage (main window):
//     auto *w = new CONFIG1(session.params); // deletes itself when it closes
//     connect(w, &CONFIG1::returnMain, ...show the main window...);
//     w->Form_Load();                 // or just show(): showing loads it
//     w->show();
#pragma once

#include "core/history_data.h"
#include "core/live_data.h"
#include "core/parammap.h"
#include "link/modbusrtu.h"

#include <QFont>
#include <QPointer>
#include <QTimer>
#include <QSet>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QButtonGroup;
class QDialog;
class ParamSetFlow;
struct ParamDiff;
struct RestoreRow;
class Link;
class ParamAccess;
class WriteJournal;
struct Param;
struct ParamWrite;

class CONFIG1 : public QWidget {
    Q_OBJECT
public:
    // journal (may be null) outlives the window and hears of every refused
    // or failed write, also of one that fails after the window has closed.
    // link, settings and readBack are the program's: they outlive the
    // window. Reads and writes go to the port and station of settings; the
    // value being written is noted there too.
    // access (the session's) outlives the window.
    explicit CONFIG1(ParamAccess &access, QWidget *parent = nullptr);
    // With an access of the window's own over these.
    CONFIG1(Link &link, LinkSettings &settings, ReadBack &readBack, WriteJournal *journal = nullptr,
            QWidget *parent = nullptr);
    ~CONFIG1() override;

    // Loading: Keep_Open set, the choice lists filled with no entry shown
    // (the box claims no value until the operator picks one), text boxes and
    // read-back labels emptied, the journal cleared, the second tab shown,
    // Timer1 started (first read one interval later). Does not show the
    // window.
    void Form_Load();
    // One read cycle: registers 1..48 are read in three blocks of 16 into
    // the read-back buffer and each block's labels are refreshed as it comes back. A label
    // stays blank until its block has been read in this run; while the last
    // read of its block failed it shows the old value greyed, and msgLine
    // says why. No new reads are issued while blocks of the previous cycle
    // are still outstanding (the labels are refreshed from the buffer instead).
    void Timer1_Timer();
    // " Esc 返回" (and the Esc key): writes the focused box's pending edit,
    // closes the window (it deletes itself) and emits returnMain().
    void Command11_Click();

    // Write-back of one entry control; writes only when the operator changed
    // it since it was last written or since the window was loaded.
    void T_3RW_LostFocus(int Index);
    void Combo_LostFocus(int n); // n = 1..18

    // The whole parameter set (config/param_set_flow.h): "保存参数…" saves
    // the instrument's set to a file, "比较…" shows how a file differs from
    // the instrument, "写入参数…" shows that, asks, writes what differs and
    // shows the outcome per parameter. Each first asks chooseFile for the
    // file; a failure goes to msgLine.
    void saveParams();
    void compareParams();
    void restoreParams();
    // Asks for the file of a set: where to save it (save true) or which to
    // read; empty when the operator cancels. A file dialog unless replaced.
    std::function<QString(bool save)> chooseFile;
    ParamSetFlow *paramFlow = nullptr;

    // Entry control of register reg (1..48): a text box or a choice box.
    QWidget *Entry(int reg) const;
    // True when the entry of register reg holds an edit not yet written.
    bool edited(int reg) const;
    // Register blocks of the current read cycle still outstanding.
    int readsOut() const;

    // Factor (at most 1) by which the window shrinks so that it and its
    // frame fit the available part of a screen; the client area is `client`
    // pixels at full size.
    static double fitScale(const QSize &client, const QRect &available);

    // While true (-1) the window refuses to close.
    int16_t Keep_Open = 0;
    QTimer Timer1;

    // Controls. Arrays are indexed like their object names: D_4W(i),
    // T_3RW(i), Label1(i) and Label2(i) belong to register i + 1; Combo[n] is
    // ComboN. T_3RW has no element where a choice box edits the register.
    QGroupBox *Frame1 = nullptr;
    QTabWidget *SSTab2 = nullptr;
    QLabel *Label1[kParamCount] = {};
    QLabel *D_4W[kParamCount] = {};
    QLabel *Label2[kParamCount] = {};
    QLineEdit *T_3RW[kParamCount] = {};
    QComboBox *Combo[kComboCount + 1] = {};
    QPushButton *Command11 = nullptr;
    QPushButton *saveButton = nullptr;    // "保存参数…"
    QPushButton *compareButton = nullptr; // "比较…"
    QPushButton *restoreButton = nullptr; // "写入参数…"
    // One status line for refused values and failed writes (the field itself
    // is marked too: property "Mark" is "refused" or "failed") and for a
    // failing read-back (the labels concerned carry property "Stale").
    QLabel *msgLine = nullptr;

signals:
    // Emitted by Command11_Click after the window has closed itself.
    void returnMain();
    // Every write attempt's outcome while the window exists: ParamWritten,
    // ParamRefused (detail: why) or ParamFailed (detail: the failure kind in
    // words), with the register, its caption, the value last read before
    // (register units; empty when its block has not been read) and the
    // value written or the entry refused. msecs is 0: the receiver stamps it.
    // The journal (WriteJournal::report) hears of every outcome, also of
    // one that comes after the window has closed.
    void paramEvent(const HistoryEvent &event);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CONFIG1(std::unique_ptr<ParamAccess> own, QWidget *parent);
    void setUp();
    // Layout (config1_build.cpp).
    void build();
    QWidget *buildTab(int t, QButtonGroup *captions, QWidget *previous);
    QWidget *buildRow(QWidget *page, int i, int y);
    QWidget *buildEntry(QWidget *page, const Param &p, int i, int y);
    void buildPictures();
    void buildFooter(QWidget *previous);
    // The parameter-set buttons and their flow (config1_params.cpp).
    QWidget *buildParamButtons(QWidget *previous);
    QString askFile(bool save);
    void paramsSaved(const QString &path);
    void paramsCompared(const QList<ParamDiff> &diffs);
    void askWrite();
    void confirmComm(bool otherModel);
    void paramsWritten(const QList<RestoreRow> &rows);
    void paramSetFailed(const QString &message);
    QDialog *paramDialog(const char *name, const QString &title);
    int twips(int twips) const;

    void showLabels(int from, int count); // D_4W(from .. from + count - 1)
    void showBack(int k, const QString &text, bool stale);
    void blockRead(int block, const LinkError &error);
    void showMsg();
    void writeReg(int reg);
    void writeFinished(const ParamWrite &w);
    void setMark(int reg, const char *mark, const QString &message);
    QString entryText(int reg) const;

    std::unique_ptr<ParamAccess> m_ownAccess; // only when built over a link of its own
    ParamAccess &m_access;
    double m_scale = 1.0;  // window shrunk to fit its screen
    QFont m_readFont;      // read-back labels, before any fitting
    QString m_writeMsg;    // msgLine: the last write's outcome ...
    QString m_readMsg;     // ... and a failing read-back
    bool m_loaded = false;
    bool m_placed = false;
    bool m_edited[kParamCount] = {};
    // Per register, the ticket of its write whose outcome still marks the
    // entry (0: none since loading); every ticket of ours not yet answered.
    uint32_t m_writeSeq[kParamCount] = {};
    QSet<uint32_t> m_tickets;
    int m_asking = 0; // register being written: its refusal comes at once
};
