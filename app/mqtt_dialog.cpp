#include "app/mqtt_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <class W>
W *named(W *w, const char *name, const QString &accessible)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setAccessibleName(accessible);
    return w;
}

QLineEdit *lineEdit(const char *name, const QString &accessible, const QString &text)
{
    auto *e = named(new QLineEdit, name, accessible);
    e->setText(text);
    return e;
}

} // namespace

MqttDialog::MqttDialog(const MqttSettings &s, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MqttDialog"));
    setWindowTitle(tr("MQTT 发布设置"));

    m_enabled = named(new QCheckBox(tr("发布到 MQTT 服务器")), "mqttEnabled", tr("启用 MQTT 发布"));
    m_enabled->setChecked(s.enabled);
    m_host = lineEdit("mqttHost", tr("服务器地址"), s.host);
    m_port = named(new QSpinBox, "mqttPort", tr("服务器端口"));
    m_port->setRange(1, 65535);
    m_port->setValue(s.port);
    m_clientId = lineEdit("mqttClientId", tr("客户端标识"), s.clientId);
    m_clientId->setPlaceholderText(tr("自动"));
    m_user = lineEdit("mqttUser", tr("用户名"), s.user);
    m_password = lineEdit("mqttPassword", tr("密码"), s.password);
    m_password->setEchoMode(QLineEdit::Password);
    m_caFile = lineEdit("mqttCaFile", tr("CA 证书文件"), s.caFile);
    m_caFile->setPlaceholderText(tr("不加密"));
    auto *browse = named(new QPushButton(tr("浏览…")), "mqttCaBrowse", tr("选择 CA 证书文件"));
    connect(browse, &QPushButton::clicked, this, &MqttDialog::chooseCaFile);
    m_prefix = lineEdit("mqttPrefix", tr("主题前缀"), s.prefix);

    auto *caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile, 1);
    caRow->addWidget(browse);
    auto *form = new QFormLayout;
    form->addRow(m_enabled);
    form->addRow(tr("服务器："), m_host);
    form->addRow(tr("端口："), m_port);
    form->addRow(tr("客户端标识："), m_clientId);
    form->addRow(tr("用户名："), m_user);
    form->addRow(tr("密码："), m_password);
    form->addRow(tr("CA 证书（TLS）："), caRow);
    form->addRow(tr("主题前缀："), m_prefix);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("mqttButtons"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("mqttOk"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("mqttCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(buttons);
}

MqttSettings MqttDialog::result() const
{
    MqttSettings s;
    s.enabled = m_enabled->isChecked();
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.clientId = m_clientId->text().trimmed();
    s.user = m_user->text();
    s.password = m_password->text();
    s.caFile = m_caFile->text().trimmed();
    const QString prefix = m_prefix->text().trimmed();
    if (!prefix.isEmpty())
        s.prefix = prefix;
    return s;
}

void MqttDialog::chooseCaFile()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("选择 CA 证书文件"), m_caFile->text(),
                                                      tr("证书 (*.pem *.crt);;所有文件 (*)"));
    if (!file.isEmpty())
        m_caFile->setText(file);
}

bool applyMqttSettings(MqttPublisher &publisher, const MqttSettings &settings, const QString &path, QString *error)
{
    publisher.setSettings(settings);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (writeMqttSettings(path, settings))
        return true;
    if (error)
        *error = MqttDialog::tr("MQTT 设置未能保存到 %1").arg(path);
    return false;
}
