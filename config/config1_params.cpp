// The configuration window's parameter-set buttons: "保存参数…", "比较…" and
// "写入参数…". The work is ParamSetFlow's; here the files are chosen, the
// difference shown, the write confirmed and its outcome shown. Every dialog
// opens without waiting (open(), not exec()): the window keeps reading.
#include "config/config1.h"

#include "config/param_set_flow.h"
#include "config/param_set_text.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Three buttons left of " Esc 返回", on its line (twips).
constexpr int kParamButtonX = 8760, kParamButtonStep = 1470, kParamButtonY = 9090;
constexpr int kParamButtonW = 1410, kParamButtonH = 435;

// Caption, file value and instrument value of each differing parameter.
QTableWidget *diffTable(const QList<ParamDiff> &diffs, QWidget *parent)
{
    auto *table = new QTableWidget(int(diffs.size()), 3, parent);
    table->setObjectName(QStringLiteral("paramDiffTable"));
    table->setAccessibleName(CONFIG1::tr("不同的参数"));
    table->setHorizontalHeaderLabels({CONFIG1::tr("参数"),
                                      CONFIG1::tr("文件"),
                                      CONFIG1::tr("仪表")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    for (int row = 0; row < diffs.size(); ++row) {
        const ParamDiff &d = diffs.at(row);
        auto *caption = new QTableWidgetItem(paramCaption(d.reg));
        caption->setData(Qt::UserRole, d.reg);
        table->setItem(row, 0, caption);
        table->setItem(row, 1, new QTableWidgetItem(paramValueText(d.reg, d.left)));
        table->setItem(row, 2, new QTableWidgetItem(paramValueText(d.reg, d.right)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

QWidget *CONFIG1::buildParamButtons(QWidget *previous)
{
    paramFlow = new ParamSetFlow(m_access, this);
    paramFlow->setObjectName(QStringLiteral("paramFlow"));
    connect(paramFlow, &ParamSetFlow::saved, this, &CONFIG1::paramsSaved);
    connect(paramFlow, &ParamSetFlow::compared, this, &CONFIG1::paramsCompared);
    connect(paramFlow, &ParamSetFlow::writeReady, this, &CONFIG1::askWrite);
    connect(paramFlow, &ParamSetFlow::written, this, &CONFIG1::paramsWritten);
    connect(paramFlow, &ParamSetFlow::failed, this, &CONFIG1::paramSetFailed);
    const struct {
        QPushButton **button;
        const char *name;
        QString caption;
        void (CONFIG1::*click)();
    } buttons[] = {{&saveButton, "saveButton", tr("保存参数…"), &CONFIG1::saveParams},
                   {&compareButton, "compareButton", tr("比较…"), &CONFIG1::compareParams},
                   {&restoreButton, "restoreButton", tr("写入参数…"), &CONFIG1::restoreParams}};
    int x = kParamButtonX;
    for (const auto &b : buttons) {
        auto *button = new QPushButton(b.caption, this);
        button->setObjectName(QLatin1String(b.name));
        button->setAccessibleName(b.caption);
        button->setGeometry(twips(x), twips(kParamButtonY), twips(kParamButtonW), twips(kParamButtonH));
        button->raise();
        connect(button, &QPushButton::clicked, this, b.click);
        *b.button = button;
        if (previous)
            setTabOrder(previous, button);
        previous = button;
        x += kParamButtonStep;
    }
    // One task at a time: the buttons wait while one is under way.
    connect(paramFlow, &ParamSetFlow::stateChanged, this, [this](ParamSetFlow::State state) {
        for (QPushButton *b : {saveButton, compareButton, restoreButton})
            b->setEnabled(state == ParamSetFlow::State::Idle);
    });
    return previous;
}

QString CONFIG1::askFile(bool save)
{
    if (chooseFile)
        return chooseFile(save);
    const QString filter = tr("参数文件 (*.json)");
    if (!save)
        return QFileDialog::getOpenFileName(this, tr("选择参数文件"), QString(), filter);
    QString path = QFileDialog::getSaveFileName(this, tr("保存参数"), QString(), filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    return path;
}

void CONFIG1::saveParams()
{
    const QString path = askFile(true);
    if (!path.isEmpty())
        paramFlow->save(path);
}

void CONFIG1::compareParams()
{
    const QString path = askFile(false);
    if (!path.isEmpty())
        paramFlow->compare(path);
}

void CONFIG1::restoreParams()
{
    const QString path = askFile(false);
    if (!path.isEmpty())
        paramFlow->prepareWrite(path);
}

void CONFIG1::paramsSaved(const QString &path)
{
    m_writeMsg = tr("已保存 %1 个参数：%2").arg(kParamCount).arg(path);
    showMsg();
}

void CONFIG1::paramSetFailed(const QString &message)
{
    m_writeMsg = message;
    showMsg();
}

// A dialog of this window that deletes itself when closed.
QDialog *CONFIG1::paramDialog(const char *name, const QString &title)
{
    auto *dialog = new QDialog(this);
    dialog->setObjectName(QLatin1String(name));
    dialog->setAccessibleName(title);
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->resize(twips(7200), twips(5400));
    return dialog;
}

void CONFIG1::paramsCompared(const QList<ParamDiff> &diffs)
{
    QDialog *dialog = paramDialog("paramDiffDialog", tr("比较参数"));
    auto *layout = new QVBoxLayout(dialog);
    auto *heading = new QLabel(diffs.isEmpty() ? paramSetsEqualText()
                                               : tr("%1 个参数不同：").arg(diffs.size()), dialog);
    heading->setObjectName(QStringLiteral("paramDiffHeading"));
    layout->addWidget(heading);
    if (!diffs.isEmpty())
        layout->addWidget(diffTable(diffs, dialog));
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    close->setObjectName(QStringLiteral("paramDiffButtons"));
    connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(close);
    dialog->open();
}

// The difference and what would be written; the operator confirms.
void CONFIG1::askWrite()
{
    const QList<ParamDiff> diffs = paramFlow->differences();
    QDialog *dialog = paramDialog("paramWriteDialog", tr("写入参数"));
    auto *layout = new QVBoxLayout(dialog);
    auto *heading = new QLabel(diffs.isEmpty() ? paramSetsEqualText()
                                               : tr("将写入不同的 %1 个参数：").arg(diffs.size()), dialog);
    heading->setObjectName(QStringLiteral("paramWriteHeading"));
    layout->addWidget(heading);
    if (!diffs.isEmpty())
        layout->addWidget(diffTable(diffs, dialog));
    auto *comm = new QCheckBox(tr("包括通讯设置"), dialog);
    comm->setObjectName(QStringLiteral("includeComm"));
    comm->setAccessibleName(comm->text());
    comm->setEnabled(paramFlow->commDiffers());
    layout->addWidget(comm);
    auto *model = new QCheckBox(tr("文件的型号 %1 与仪表 %2 不同，仍然写入").arg(paramFlow->fileSet().id.model,
                                                                          QLatin1String(kModelText)), dialog);
    model->setObjectName(QStringLiteral("otherModel"));
    model->setAccessibleName(model->text());
    model->setVisible(paramFlow->otherModel());
    layout->addWidget(model);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("paramWriteButtons"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("写入"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!diffs.isEmpty());
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::rejected, paramFlow, &ParamSetFlow::cancel);
    connect(dialog, &QDialog::accepted, this, [this, comm, model] {
        if (comm->isChecked() && paramFlow->commDiffers())
            confirmComm(model->isChecked());
        else
            paramFlow->go(RestoreOptions{false, false}, model->isChecked());
    });
    dialog->open();
}

// Writing the communication settings can take the instrument off the line:
// asked once more.
void CONFIG1::confirmComm(bool otherModel)
{
    auto *box = new QMessageBox(QMessageBox::Warning, tr("写入通讯设置"),
                                tr("站号、波特率、校验或延时改变后，仪表可能不再应答。仍然写入通讯设置？"),
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setObjectName(QStringLiteral("paramCommConfirm"));
    box->setAccessibleName(box->windowTitle());
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, otherModel](int result) {
        if (result == QMessageBox::Yes)
            paramFlow->go(RestoreOptions{false, true}, otherModel);
        else
            paramFlow->cancel();
    });
    box->open();
}

void CONFIG1::paramsWritten(const QList<RestoreRow> &rows)
{
    int confirmed = 0;
    QDialog *dialog = paramDialog("paramResultDialog", tr("写入结果"));
    auto *layout = new QVBoxLayout(dialog);
    auto *list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("paramResultList"));
    list->setAccessibleName(tr("每个参数的写入结果"));
    for (const RestoreRow &row : rows) {
        auto *item = new QListWidgetItem(row.text, list);
        item->setData(Qt::UserRole, row.reg);
        item->setData(Qt::UserRole + 1, int(row.status));
        confirmed += row.status == RestoreRow::Status::Confirmed ? 1 : 0;
    }
    m_writeMsg = tr("已写入并确认 %1 个参数").arg(confirmed);
    showMsg();
    auto *heading = new QLabel(m_writeMsg, dialog);
    heading->setObjectName(QStringLiteral("paramResultHeading"));
    layout->addWidget(heading);
    layout->addWidget(list);
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    close->setObjectName(QStringLiteral("paramResultButtons"));
    connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(close);
    dialog->open();
    // The labels show what the instrument holds now.
    Timer1_Timer();
}
