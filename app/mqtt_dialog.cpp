#include "app/mqtt_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
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
    m_prefix = lineEdit("mqttPrefix", tr("主题前缀"), QString());
    // Not cut short at the field's usual 32767: what is too long is refused, saying so.
    m_prefix->setMaxLength(1 << 20);
    m_prefix->setText(s.prefix);

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

    m_error = named(new QLabel, "mqttError", tr("设置错误"));
    m_error->setWordWrap(true);
    m_error->hide();

    auto *top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(m_error);
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
    s.prefix = m_prefix->text().trimmed();
    return s;
}

void MqttDialog::accept()
{
    if (const auto fault = checkMqttPrefix(m_prefix->text().trimmed()); fault != MqttPrefixFault::None) {
        m_error->setText(mqttPrefixText(fault));
        m_error->show();
        m_prefix->setFocus();
        return;
    }
    QDialog::accept();
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

QString mqttPrefixText(MqttPrefixFault fault)
{
    switch (fault) {
    case MqttPrefixFault::None:
        break;
    case MqttPrefixFault::Empty:
        return QCoreApplication::translate("MqttText", "MQTT 主题前缀不能为空");
    case MqttPrefixFault::Wildcard:
        return QCoreApplication::translate("MqttText", "MQTT 主题前缀不能含通配符 + 或 #");
    case MqttPrefixFault::Nul:
        return QCoreApplication::translate("MqttText", "MQTT 主题前缀不能含空字符（NUL）");
    case MqttPrefixFault::BadText:
        return QCoreApplication::translate("MqttText", "MQTT 主题前缀含主题中不允许的字符");
    case MqttPrefixFault::TooLong:
        return QCoreApplication::translate("MqttText", "MQTT 主题前缀过长：主题不能超过 65535 字节");
    }
    return QString();
}

namespace {

QString tlsText(MqttTlsFault fault, const QString &caFile)
{
    switch (fault) {
    case MqttTlsFault::None:
        break;
    case MqttTlsFault::Missing:
        return QCoreApplication::translate("MqttText", "CA 证书文件不存在：%1").arg(caFile);
    case MqttTlsFault::Unreadable:
        return QCoreApplication::translate("MqttText", "CA 证书文件无法读取：%1").arg(caFile);
    case MqttTlsFault::NotCertificate:
        return QCoreApplication::translate("MqttText", "CA 证书文件中没有证书：%1").arg(caFile);
    case MqttTlsFault::Handshake:
        return QCoreApplication::translate("MqttText", "TLS 加密连接无法建立");
    }
    return QString();
}

// Why it is not connected or cannot publish.
QString faultText(const MqttState &state, const MqttSettings &settings)
{
    switch (state.fault) {
    case MqttFault::None:
        break;
    case MqttFault::Unreachable:
        return QCoreApplication::translate("MqttText", "服务器无法连接：%1").arg(qt_error_string(state.code));
    case MqttFault::HostUnknown:
        return QCoreApplication::translate("MqttText", "服务器名称无法解析");
    case MqttFault::Refused:
        return QCoreApplication::translate("MqttText", "服务器拒绝连接（代码 %1）").arg(state.code);
    case MqttFault::Auth:
        return QCoreApplication::translate("MqttText", "服务器拒绝了用户名或密码");
    case MqttFault::Lost:
        return QCoreApplication::translate("MqttText", "连接中断");
    case MqttFault::Dropped:
        return settings.clientId.isEmpty()
                   ? QCoreApplication::translate("MqttText", "服务器一再断开刚建立的连接")
                   : QCoreApplication::translate("MqttText", "服务器一再断开刚建立的连接，可能另一个记录程序正在使用同一客户端标识 %1")
                         .arg(settings.clientId);
    case MqttFault::Tls:
        return tlsText(state.tls, settings.caFile) + QCoreApplication::translate("MqttText", "，不发送任何数据");
    case MqttFault::BadPrefix:
        return mqttPrefixText(state.prefix);
    case MqttFault::WillRefused:
        return QCoreApplication::translate("MqttText", "遗嘱消息被拒绝（代码 %1）").arg(state.code);
    case MqttFault::PublishRefused:
        return QCoreApplication::translate("MqttText", "消息被拒绝，未发布（代码 %1）").arg(state.code);
    case MqttFault::Other:
        return QCoreApplication::translate("MqttText", "错误（代码 %1）").arg(state.code);
    }
    return QString();
}

} // namespace

QString mqttStateText(const MqttState &state, const MqttSettings &settings)
{
    const QString broker = QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
    const QString why = faultText(state, settings);
    switch (state.status) {
    case MqttStatus::Off:
        break;
    case MqttStatus::Connected:
        return why.isEmpty() ? QCoreApplication::translate("MqttText", "MQTT 已连接 %1").arg(broker)
                             : QCoreApplication::translate("MqttText", "MQTT 发布失败 %1：%2").arg(broker, why);
    case MqttStatus::Waiting:
        return QCoreApplication::translate("MqttText", "MQTT 未连接 %1（%2），等待重试").arg(broker, why);
    case MqttStatus::Failed:
        return QCoreApplication::translate("MqttText", "MQTT 不发布：%1").arg(why);
    }
    return QString();
}
