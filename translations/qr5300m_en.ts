<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AlarmKind</name>
    <message>
        <source>报警</source>
        <translation>alarm</translation>
    </message>
    <message>
        <source>开路</source>
        <translation>open circuit</translation>
    </message>
    <message>
        <source>短路</source>
        <translation>short circuit</translation>
    </message>
    <message>
        <source>通讯中断</source>
        <translation>link interrupted</translation>
    </message>
    <message>
        <source>高高限</source>
        <translation>high-high</translation>
    </message>
    <message>
        <source>高限</source>
        <translation>high</translation>
    </message>
    <message>
        <source>低限</source>
        <translation>low</translation>
    </message>
    <message>
        <source>低低限</source>
        <translation>low-low</translation>
    </message>
</context>
<context>
    <name>AlarmLimitsDialog</name>
    <message>
        <source>报警限值 站 %1</source>
        <translation>Alarm limits, station %1</translation>
    </message>
    <message>
        <source>高高限</source>
        <translation>High-high</translation>
    </message>
    <message>
        <source>高限</source>
        <translation>High</translation>
    </message>
    <message>
        <source>低限</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>低低限</source>
        <translation>Low-low</translation>
    </message>
    <message>
        <source>回差</source>
        <translation>Dead band</translation>
    </message>
    <message>
        <source>延时（秒）</source>
        <translation>Delay (s)</translation>
    </message>
    <message>
        <source>通道%1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>通道%1 %2</source>
        <translation>Channel %1 %2</translation>
    </message>
    <message>
        <source>通道%1 回差</source>
        <translation>Channel %1 dead band</translation>
    </message>
    <message>
        <source>通道%1 延时</source>
        <translation>Channel %1 delay</translation>
    </message>
    <message>
        <source>确定或取消</source>
        <translation>OK or Cancel</translation>
    </message>
</context>
<context>
    <name>AlarmWindow</name>
    <message>
        <source>确认</source>
        <translation>Acknowledge</translation>
    </message>
    <message>
        <source>全部确认</source>
        <translation>Acknowledge all</translation>
    </message>
    <message>
        <source>静音 5 分钟</source>
        <translation>Mute 5 minutes</translation>
    </message>
    <message>
        <source>报警限值…</source>
        <translation>Alarm limits…</translation>
    </message>
    <message>
        <source>报警列表</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>报警时间</source>
        <translation>Raised</translation>
    </message>
    <message>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>What</translation>
    </message>
    <message>
        <source>优先级</source>
        <translation>Priority</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>确认备注</source>
        <translation>Acknowledgement comment</translation>
    </message>
    <message>
        <source>备注（可选）</source>
        <translation>Comment (optional)</translation>
    </message>
    <message>
        <source>通知状态</source>
        <translation>Notification state</translation>
    </message>
    <message>
        <source>报警限值未能保存到设置文件</source>
        <translation>The alarm limits could not be saved in the settings file</translation>
    </message>
    <message>
        <source>桌面通知服务不可用（%1）：报警只在本窗口显示</source>
        <translation>Desktop notifications unavailable (%1): alarms show in this window only</translation>
    </message>
</context>
<context>
    <name>CONFIG1</name>
    <message>
        <source>读回失败，这是上次读到的值</source>
        <translation>Read-back failed; this is the last value read</translation>
    </message>
    <message>
        <source> Esc 返回</source>
        <translation> Esc Back</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>%1：已写入</source>
        <translation>%1: written</translation>
    </message>
    <message>
        <source>寄存器 %1 不是可写的参数</source>
        <translation>Register %1 is not a writable parameter</translation>
    </message>
    <message>
        <source>%1：写入 %2，读回 %3</source>
        <translation>%1: wrote %2, read back %3</translation>
    </message>
    <message>
        <source>不同的参数</source>
        <translation>Differing parameters</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>仪表</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>保存参数…</source>
        <translation>Save set…</translation>
    </message>
    <message>
        <source>比较…</source>
        <translation>Compare…</translation>
    </message>
    <message>
        <source>写入参数…</source>
        <translation>Write set…</translation>
    </message>
    <message>
        <source>参数文件 (*.json)</source>
        <translation>Parameter files (*.json)</translation>
    </message>
    <message>
        <source>选择参数文件</source>
        <translation>Choose a parameter file</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save the parameters</translation>
    </message>
    <message>
        <source>已保存 %1 个参数：%2</source>
        <translation>Saved %1 parameters: %2</translation>
    </message>
    <message>
        <source>比较参数</source>
        <translation>Compare parameters</translation>
    </message>
    <message>
        <source>%1 个参数不同：</source>
        <translation>%1 parameters differ:</translation>
    </message>
    <message>
        <source>写入参数</source>
        <translation>Write parameters</translation>
    </message>
    <message>
        <source>将写入不同的 %1 个参数：</source>
        <translation>The %1 differing parameters will be written:</translation>
    </message>
    <message>
        <source>包括通讯设置</source>
        <translation>Include the communication settings</translation>
    </message>
    <message>
        <source>文件的型号 %1 与仪表 %2 不同，仍然写入</source>
        <translation>The file&apos;s model %1 differs from the instrument&apos;s %2: write all the same</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>写入通讯设置</source>
        <translation>Write the communication settings</translation>
    </message>
    <message>
        <source>站号、波特率、校验或延时改变后，仪表可能不再应答。仍然写入通讯设置？</source>
        <translation>With another station address, baud rate, parity or delay the instrument may stop answering. Write the communication settings all the same?</translation>
    </message>
    <message>
        <source>写入结果</source>
        <translation>Write result</translation>
    </message>
    <message>
        <source>每个参数的写入结果</source>
        <translation>Result of each parameter</translation>
    </message>
    <message>
        <source>已写入并确认 %1 个参数</source>
        <translation>%1 parameters written and confirmed</translation>
    </message>
    <message>
        <source>%1：已写入 %2，但未能读回确认（%3）</source>
        <translation>%1: %2 written, but it could not be read back to confirm it (%3)</translation>
    </message>
</context>
<context>
    <name>ChannelFlag</name>
    <message>
        <source>报警</source>
        <translation>alarm</translation>
    </message>
    <message>
        <source>开路</source>
        <translation>open circuit</translation>
    </message>
    <message>
        <source>短路</source>
        <translation>short circuit</translation>
    </message>
</context>
<context>
    <name>ChartPanel</name>
    <message>
        <source>标尺</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>双击修改Y轴范围</source>
        <translation>Double-click to change the Y range</translation>
    </message>
    <message>
        <source>Y轴最大值</source>
        <translation>Y max</translation>
    </message>
    <message>
        <source>Y轴最小值</source>
        <translation>Y min</translation>
    </message>
    <message>
        <source>修改Y</source>
        <translation>Set Y</translation>
    </message>
</context>
<context>
    <name>ChartPrint</name>
    <message>
        <source>趋势曲线</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>历史曲线</source>
        <translation>History</translation>
    </message>
    <message>
        <source>仪表</source>
        <translation>Instrument</translation>
    </message>
    <message>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>打印时间</source>
        <translation>Printed</translation>
    </message>
    <message>
        <source>时间 %1 至 %2</source>
        <translation>Time %1 to %2</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>显示版本</source>
        <translation>Show the version</translation>
    </message>
</context>
<context>
    <name>CsvExport</name>
    <message>
        <source>无法写入 %1（%2）</source>
        <translation>Cannot write %1 (%2)</translation>
    </message>
    <message>
        <source>导出已取消</source>
        <translation>Export cancelled</translation>
    </message>
    <message>
        <source>写入 %1 失败（%2）</source>
        <translation>Writing %1 failed (%2)</translation>
    </message>
    <message>
        <source>%1 是数据库 %2 或其日志、锁文件，不能写入导出</source>
        <translation>Cannot export to %1: it is the database %2 or its journal or lock file</translation>
    </message>
    <message>
        <source>%1 不是普通文件，不能写入导出</source>
        <translation>Cannot export to %1: not a regular file</translation>
    </message>
</context>
<context>
    <name>Curves</name>
    <message>
        <source>通道一 CH1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道二 CH2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>通道三 CH3</source>
        <translation>Channel 3</translation>
    </message>
    <message>
        <source>通道四 CH4</source>
        <translation>Channel 4</translation>
    </message>
    <message>
        <source>变送值 DA</source>
        <translation>Out DA</translation>
    </message>
    <message>
        <source>输入6</source>
        <translation>Input 6</translation>
    </message>
</context>
<context>
    <name>ExportCommand</name>
    <message>
        <source>起始时间（本地时间，如 2026-12-08T03:00:00）</source>
        <translation>Start time (local time, e.g. 2026-12-08T03:00:00)</translation>
    </message>
    <message>
        <source>结束时间（含）</source>
        <translation>End time (inclusive)</translation>
    </message>
    <message>
        <source>记录环：1s 或 10s（默认按时间范围选择）</source>
        <translation>Record ring: 1s or 10s (default: chosen by the time range)</translation>
    </message>
    <message>
        <source>输出的 CSV 文件</source>
        <translation>Output CSV file</translation>
    </message>
    <message>
        <source>导出事件而不是记录</source>
        <translation>Export events instead of records</translation>
    </message>
    <message>
        <source>导出记录为 CSV 文件</source>
        <translation>Export records as a CSV file</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
</context>
<context>
    <name>Headless</name>
    <message>
        <source>界面语言：zh 或 en</source>
        <translation>Interface language: zh or en</translation>
    </message>
    <message>
        <source>无界面运行</source>
        <translation>Run without a window</translation>
    </message>
    <message>
        <source>波特率：4800、9600 或 19200（默认 9600）</source>
        <translation>Baud rate: 4800, 9600 or 19200 (default 9600)</translation>
    </message>
    <message>
        <source>校验：none、odd 或 even（默认 none）</source>
        <translation>Parity: none, odd or even (default none)</translation>
    </message>
    <message>
        <source>发布到 MQTT 服务器（默认端口 1883）</source>
        <translation>Publish to an MQTT broker (default port 1883)</translation>
    </message>
    <message>
        <source>MQTT 主题前缀（默认 qr5300m）</source>
        <translation>MQTT topic prefix (default qr5300m)</translation>
    </message>
    <message>
        <source>数据库文件（默认为本程序的数据库）</source>
        <translation>Database file (default: the program&apos;s database)</translation>
    </message>
    <message>
        <source>无界面记录：采集、记录并发布仪表数据</source>
        <translation>Headless logger: reads, logs and publishes the instrument data</translation>
    </message>
    <message>
        <source>--port 不能为空</source>
        <translation>--port must not be empty</translation>
    </message>
    <message>
        <source>--port 的端口号应为 1..255：%1</source>
        <translation>--port number must be 1..255: %1</translation>
    </message>
    <message>
        <source>--baud 只能是 4800、9600 或 19200：%1</source>
        <translation>--baud must be 4800, 9600 or 19200: %1</translation>
    </message>
    <message>
        <source>--parity 只能是 none、odd 或 even：%1</source>
        <translation>--parity must be none, odd or even: %1</translation>
    </message>
    <message>
        <source>--station 应为 1..247：%1</source>
        <translation>--station must be 1..247: %1</translation>
    </message>
    <message>
        <source>--mqtt 的端口应为 1..65535：%1</source>
        <translation>--mqtt port must be 1..65535: %1</translation>
    </message>
    <message>
        <source>--mqtt 缺少服务器：%1</source>
        <translation>--mqtt names no broker: %1</translation>
    </message>
    <message>
        <source>记录正常</source>
        <translation>Logging OK</translation>
    </message>
    <message>
        <source>收到停止信号，结束记录</source>
        <translation>Stop signal received; logging ends</translation>
    </message>
    <message>
        <source>记录正常：%1</source>
        <translation>Logging OK: %1</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected arguments: %1</translation>
    </message>
    <message>
        <source>--port 的网络地址无效（tcp://主机[:端口] 或 rtu+tcp://主机:端口）：%1</source>
        <translation>--port: invalid network address (tcp://host[:port] or rtu+tcp://host:port): %1</translation>
    </message>
    <message>
        <source>通讯端口号、串口设备或网络线路 tcp://主机[:端口]、rtu+tcp://主机:端口（默认 1）</source>
        <translation>port number, serial device or line over Ethernet tcp://HOST[:PORT], rtu+tcp://HOST:PORT (default 1)</translation>
    </message>
    <message>
        <source>仪表站号 1..247，同一线路上的多台用逗号分隔，如 1,2,5（默认 1）</source>
        <translation>station address 1..247; several on one line separated by commas, e.g. 1,2,5 (default 1)</translation>
    </message>
    <message>
        <source>数据库所在的文件夹（默认为本程序的数据文件夹）</source>
        <translation>folder of the databases (default: the program&apos;s data folder)</translation>
    </message>
    <message>
        <source>--db 与 --data-dir 不能同时使用</source>
        <translation>--db and --data-dir cannot be used together</translation>
    </message>
    <message>
        <source>--%1 不能为空</source>
        <translation>--%1 must not be empty</translation>
    </message>
    <message>
        <source>--data-dir 不是文件夹：%1</source>
        <translation>--data-dir is not a folder: %1</translation>
    </message>
    <message>
        <source>站 %1：</source>
        <translation>Station %1: </translation>
    </message>
    <message>
        <source>--station 中站号 %1 重复</source>
        <translation>--station names station %1 twice</translation>
    </message>
</context>
<context>
    <name>HistoryActions</name>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>正在导出…</source>
        <translation>Exporting…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
</context>
<context>
    <name>HistoryPlotView</name>
    <message>
        <source>历史曲线</source>
        <translation>History</translation>
    </message>
</context>
<context>
    <name>HistoryRange</name>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>读取数据库失败（%1）</source>
        <translation>Reading the database failed (%1)</translation>
    </message>
    <message>
        <source>无法打开数据库 %1</source>
        <translation>Cannot open database %1</translation>
    </message>
    <message>
        <source>无法读取数据库 %1</source>
        <translation>Cannot read database %1</translation>
    </message>
    <message>
        <source>读取数据库失败</source>
        <translation>Reading the database failed</translation>
    </message>
    <message>
        <source>时间范围无效</source>
        <translation>Invalid time range</translation>
    </message>
    <message>
        <source>数据库文件 %1 不存在</source>
        <translation>Database file %1 does not exist</translation>
    </message>
    <message>
        <source>%1 不是数据库文件</source>
        <translation>%1 is not a database file</translation>
    </message>
    <message>
        <source>不是本程序的数据库：缺少表 %1</source>
        <translation>Not a database of this program: table %1 missing</translation>
    </message>
    <message>
        <source>不是本程序的数据库：表 %1 应有 11 列，实有 %2 列</source>
        <translation>Not a database of this program: table %1 has %2 columns, not 11</translation>
    </message>
</context>
<context>
    <name>HistoryText</name>
    <message>
        <source>此时段未能完整读取：%1</source>
        <translation>This range could not be read completely: %1</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>输入6</source>
        <translation>Input 6</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>status</translation>
    </message>
    <message>
        <source>历史曲线</source>
        <translation>History</translation>
    </message>
    <message>
        <source>起始时间</source>
        <translation>From</translation>
    </message>
    <message>
        <source>结束时间</source>
        <translation>To</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>最近1小时</source>
        <translation>Last 1 h</translation>
    </message>
    <message>
        <source>最近8小时</source>
        <translation>Last 8 h</translation>
    </message>
    <message>
        <source>最近24小时</source>
        <translation>Last 24 h</translation>
    </message>
    <message>
        <source>最近7天</source>
        <translation>Last 7 d</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Ring</translation>
    </message>
    <message>
        <source>事件</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>标记读数</source>
        <translation>Marker readout</translation>
    </message>
    <message>
        <source>打印</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save image</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>历史读取失败</source>
        <translation>History read failed</translation>
    </message>
    <message>
        <source>历史读取失败：</source>
        <translation>History read failed: </translation>
    </message>
    <message>
        <source>1 秒记录</source>
        <translation>1 s records</translation>
    </message>
    <message>
        <source>10 秒记录</source>
        <translation>10 s records</translation>
    </message>
    <message>
        <source>此时段无记录</source>
        <translation>No records in this period</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG image (*.png)</translation>
    </message>
    <message>
        <source>图片保存失败：</source>
        <translation>Image not saved: </translation>
    </message>
    <message>
        <source>数据库中尚无记录</source>
        <translation>No records in the database yet</translation>
    </message>
    <message>
        <source>%1天 </source>
        <translation>%1 d </translation>
    </message>
    <message>
        <source>寄存器%1</source>
        <translation>register %1</translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>打开通讯</source>
        <translation>Link opened</translation>
    </message>
    <message>
        <source>关闭通讯</source>
        <translation>Link closed</translation>
    </message>
    <message>
        <source>通讯中断</source>
        <translation>Link lost</translation>
    </message>
    <message>
        <source>通讯恢复</source>
        <translation>Link restored</translation>
    </message>
    <message>
        <source>通道%1 %2 %3</source>
        <translation>Channel %1 %2 %3</translation>
    </message>
    <message>
        <source>出现</source>
        <translation>raised</translation>
    </message>
    <message>
        <source>消除</source>
        <translation>cleared</translation>
    </message>
    <message>
        <source>参数写入 </source>
        <translation>Parameter written </translation>
    </message>
    <message>
        <source>写入被拒绝 </source>
        <translation>Write refused </translation>
    </message>
    <message>
        <source>写入失败 </source>
        <translation>Write failed </translation>
    </message>
    <message>
        <source>  (保持值)</source>
        <translation>  (held)</translation>
    </message>
</context>
<context>
    <name>InstrumentListWindow</name>
    <message>
        <source>添加线路</source>
        <translation>Add line</translation>
    </message>
    <message>
        <source>线路地址</source>
        <translation>Line address</translation>
    </message>
    <message>
        <source>端口号、设备路径、tcp://主机[:端口] 或 rtu+tcp://主机:端口</source>
        <translation>port number, device path, tcp://HOST[:PORT] or rtu+tcp://HOST:PORT</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <source>确定或取消</source>
        <translation>OK or Cancel</translation>
    </message>
    <message>
        <source>地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>站号应为 1..247</source>
        <translation>The station must be 1..247</translation>
    </message>
    <message>
        <source>该线路上已有此站号的仪表</source>
        <translation>The line already has an instrument with this station</translation>
    </message>
    <message>
        <source>线路地址无效（端口号 1..255、设备路径、tcp://主机[:端口] 或 rtu+tcp://主机:端口）</source>
        <translation>Invalid line address (port number 1..255, device path, tcp://HOST[:PORT] or rtu+tcp://HOST:PORT)</translation>
    </message>
    <message>
        <source>波特率或校验无效</source>
        <translation>Invalid baud rate or parity</translation>
    </message>
    <message>
        <source>该线路已在列表中</source>
        <translation>The line is already in the list</translation>
    </message>
    <message>
        <source>请先选择一台仪表</source>
        <translation>Select an instrument first</translation>
    </message>
    <message>
        <source>第一台仪表不能删除</source>
        <translation>The first instrument cannot be removed</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>仪表列表</source>
        <translation>Instruments</translation>
    </message>
    <message>
        <source>仪表列表无法保存到配置文件</source>
        <translation>The instrument list could not be saved in the settings file</translation>
    </message>
    <message>
        <source>仪表</source>
        <translation>Instruments</translation>
    </message>
    <message>
        <source>线路</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>报警</source>
        <translation>Alarms</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>添加仪表</source>
        <translation>Add instrument</translation>
    </message>
    <message>
        <source>在所选线路上添加仪表</source>
        <translation>Add an instrument on the selected line</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>删除所选仪表</source>
        <translation>Remove the selected instrument</translation>
    </message>
    <message>
        <source>仪表列表状态</source>
        <translation>Instrument list state</translation>
    </message>
    <message>
        <source>线路 %1 上的站号：</source>
        <translation>Station on line %1:</translation>
    </message>
    <message>
        <source>%1（未确认 %2）</source>
        <translation>%1 (%2 unacknowledged)</translation>
    </message>
</context>
<context>
    <name>Journal</name>
    <message>
        <source>qr_events 不是表</source>
        <translation>qr_events is not a table</translation>
    </message>
    <message>
        <source>表 qr_events 的列与本程序的事件表不同（%1）</source>
        <translation>Columns of table qr_events differ from this program&apos;s event table (%1)</translation>
    </message>
    <message>
        <source>读取事件表失败</source>
        <translation>Reading the event table failed</translation>
    </message>
    <message>
        <source>读取事件表失败（%1）</source>
        <translation>Reading the event table failed (%1)</translation>
    </message>
</context>
<context>
    <name>LinkDiagnosticsWindow</name>
    <message>
        <source>发</source>
        <translation>TX</translation>
    </message>
    <message>
        <source>收</source>
        <translation>RX</translation>
    </message>
    <message>
        <source>通讯诊断</source>
        <translation>Link diagnostics</translation>
    </message>
    <message>
        <source>通讯统计</source>
        <translation>Link counters</translation>
    </message>
    <message>
        <source>报文监视（最近 500 帧）</source>
        <translation>Frame monitor (last 500 frames)</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清零</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>请求</source>
        <translation>Requests</translation>
    </message>
    <message>
        <source>应答</source>
        <translation>Replies</translation>
    </message>
    <message>
        <source>超时</source>
        <translation>Timeouts</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>CRC errors</translation>
    </message>
    <message>
        <source>应答不符</source>
        <translation>Bad replies</translation>
    </message>
    <message>
        <source>串口断开</source>
        <translation>Port lost</translation>
    </message>
    <message>
        <source>往返时间 最近/平均/最大：%1 / %2 / %3 ms</source>
        <translation>Round trip last/mean/max: %1 / %2 / %3 ms</translation>
    </message>
    <message>
        <source>保存通讯诊断</source>
        <translation>Save link diagnostics</translation>
    </message>
    <message>
        <source>通讯诊断-%1.txt</source>
        <translation>link-diagnostics-%1.txt</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>已保存：%1</source>
        <translation>Saved: %1</translation>
    </message>
    <message>
        <source>保存失败：无法写入 %1</source>
        <translation>Save failed: cannot write %1</translation>
    </message>
    <message>
        <source>站%1</source>
        <translation>St%1</translation>
    </message>
    <message>
        <source>统计范围</source>
        <translation>Counters of</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>Whole line</translation>
    </message>
    <message>
        <source>站 %1</source>
        <translation>Station %1</translation>
    </message>
</context>
<context>
    <name>LinkPanel</name>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>单击查看通讯诊断</source>
        <translation>Click for link diagnostics</translation>
    </message>
    <message>
        <source>通讯端口选择</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>通讯端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>模块地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>校验方式</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>无效端口号</source>
        <translation>Invalid port</translation>
    </message>
</context>
<context>
    <name>LinkText</name>
    <message>
        <source>仪表应答了无法识别的异常码</source>
        <translation>Instrument replied with an unknown exception code</translation>
    </message>
    <message>
        <source>仪表拒绝：非法功能码（illegal function）</source>
        <translation>Instrument refused: illegal function</translation>
    </message>
    <message>
        <source>仪表拒绝：非法数据地址（illegal data address）</source>
        <translation>Instrument refused: illegal data address</translation>
    </message>
    <message>
        <source>仪表拒绝：非法数据值（illegal data value）</source>
        <translation>Instrument refused: illegal data value</translation>
    </message>
    <message>
        <source>仪表故障（slave device failure）</source>
        <translation>Instrument failure (slave device failure)</translation>
    </message>
    <message>
        <source>仪表已收到，尚在处理（acknowledge）</source>
        <translation>Instrument still processing (acknowledge)</translation>
    </message>
    <message>
        <source>仪表忙（slave device busy）</source>
        <translation>Instrument busy (slave device busy)</translation>
    </message>
    <message>
        <source>仪表无法执行（negative acknowledge）</source>
        <translation>Instrument cannot execute (negative acknowledge)</translation>
    </message>
    <message>
        <source>仪表存储器校验错误（memory parity error）</source>
        <translation>Instrument memory parity error</translation>
    </message>
    <message>
        <source>网关转发失败（gateway）</source>
        <translation>Gateway failure</translation>
    </message>
    <message>
        <source>仪表拒绝（异常码 %1）</source>
        <translation>Instrument refused (exception code %1)</translation>
    </message>
    <message>
        <source>非法功能码</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>仪表故障</source>
        <translation>slave device failure</translation>
    </message>
    <message>
        <source>已收到，尚在处理</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>仪表忙</source>
        <translation>slave device busy</translation>
    </message>
    <message>
        <source>无法执行</source>
        <translation>negative acknowledge</translation>
    </message>
    <message>
        <source>存储器校验错误</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>网关转发失败</source>
        <translation>gateway failure</translation>
    </message>
    <message>
        <source>异常应答（代码 %1）</source>
        <translation>Exception reply (code %1)</translation>
    </message>
    <message>
        <source>异常应答（代码 %1：%2）</source>
        <translation>Exception reply (code %1: %2)</translation>
    </message>
    <message>
        <source>端口未打开</source>
        <translation>Port not open</translation>
    </message>
    <message>
        <source>端口号无效</source>
        <translation>Invalid port number</translation>
    </message>
    <message>
        <source>站号无效（1～247）</source>
        <translation>Invalid station (1-247)</translation>
    </message>
    <message>
        <source>读写参数无效</source>
        <translation>Invalid read/write arguments</translation>
    </message>
    <message>
        <source>通讯参数无效</source>
        <translation>Invalid link settings</translation>
    </message>
    <message>
        <source>串口不存在</source>
        <translation>Serial port does not exist</translation>
    </message>
    <message>
        <source>没有权限打开串口（需加入 dialout 组）</source>
        <translation>No permission to open the port (join the dialout group)</translation>
    </message>
    <message>
        <source>端口已被其他程序占用</source>
        <translation>Port in use by another program</translation>
    </message>
    <message>
        <source>不是串口设备</source>
        <translation>Not a serial device</translation>
    </message>
    <message>
        <source>仪表无应答（超时）</source>
        <translation>No reply (timeout)</translation>
    </message>
    <message>
        <source>应答校验错误（CRC）</source>
        <translation>Reply CRC error</translation>
    </message>
    <message>
        <source>应答内容与请求不符</source>
        <translation>Reply does not match the request</translation>
    </message>
    <message>
        <source>仪表应答与写入不符</source>
        <translation>Reply does not match the write</translation>
    </message>
    <message>
        <source>串口已断开，等待重新连接…</source>
        <translation>Port lost, waiting for it to return…</translation>
    </message>
    <message>
        <source>通讯出错（%1）</source>
        <translation>Link error (%1)</translation>
    </message>
    <message>
        <source>通讯出错</source>
        <translation>Link error</translation>
    </message>
    <message>
        <source>端口号 %1 无效</source>
        <translation>Invalid port number %1</translation>
    </message>
    <message>
        <source>串口 %1 不存在</source>
        <translation>Serial port %1 does not exist</translation>
    </message>
    <message>
        <source>没有权限打开串口 %1（需加入 dialout 组）</source>
        <translation>No permission to open %1 (join the dialout group)</translation>
    </message>
    <message>
        <source>%1 不是串口设备（%2）</source>
        <translation>%1 is not a serial device (%2)</translation>
    </message>
    <message>
        <source>串口 %1 不接受这些通讯参数（%2）</source>
        <translation>%1 does not accept these settings (%2)</translation>
    </message>
    <message>
        <source>串口 %1 读写出错，设备可能已拔出（%2）</source>
        <translation>%1 I/O error, device may be unplugged (%2)</translation>
    </message>
    <message>
        <source>无法打开串口 %1（%2）</source>
        <translation>Cannot open %1 (%2)</translation>
    </message>
    <message>
        <source>打开失败：</source>
        <translation>Open failed: </translation>
    </message>
    <message>
        <source>通讯关闭</source>
        <translation>Link closed</translation>
    </message>
    <message>
        <source>通讯等待</source>
        <translation>Link waiting</translation>
    </message>
    <message>
        <source>通讯正常</source>
        <translation>Link OK</translation>
    </message>
    <message>
        <source>通讯中断</source>
        <translation>Link lost</translation>
    </message>
    <message>
        <source>（最后正常 %1）</source>
        <translation> (last good %1)</translation>
    </message>
    <message>
        <source>超过1秒没有完整应答</source>
        <translation>no complete reply for over 1 s</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>读取仪表参数失败：%1</source>
        <translation>Reading parameters failed: %1</translation>
    </message>
    <message>
        <source>%1：写入失败（%2）</source>
        <translation>%1: write failed (%2)</translation>
    </message>
    <message>
        <source>网络地址无效（tcp://主机[:端口] 或 rtu+tcp://主机:端口）</source>
        <translation>Invalid network address (tcp://host[:port] or rtu+tcp://host:port)</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>Connection refused</translation>
    </message>
    <message>
        <source>无法到达主机</source>
        <translation>Host unreachable</translation>
    </message>
    <message>
        <source>连接超时</source>
        <translation>Connection timed out</translation>
    </message>
    <message>
        <source>连接已断开，等待重新连接…</source>
        <translation>Connection lost, reconnecting…</translation>
    </message>
    <message>
        <source>线路轮询正常</source>
        <translation>Line polled in time</translation>
    </message>
    <message>
        <source>线路饱和：轮询一周 %1 ms（超过 500 ms）</source>
        <translation>Line saturated: one round of polls takes %1 ms (over 500 ms)</translation>
    </message>
</context>
<context>
    <name>LogDb</name>
    <message>
        <source>数据库语句执行失败</source>
        <translation>Database statement failed</translation>
    </message>
    <message>
        <source>没有访问数据库的权限</source>
        <translation>No permission to access the database</translation>
    </message>
    <message>
        <source>数据库操作被中止</source>
        <translation>Database operation aborted</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>数据库操作被中断</source>
        <translation>Database operation interrupted</translation>
    </message>
    <message>
        <source>读写数据库文件出错</source>
        <translation>Database file I/O error</translation>
    </message>
    <message>
        <source>无法打开数据库文件</source>
        <translation>Cannot open the database file</translation>
    </message>
    <message>
        <source>数据库文件的锁出错</source>
        <translation>Database file locking error</translation>
    </message>
    <message>
        <source>数据库的表结构已改变</source>
        <translation>Database schema changed</translation>
    </message>
    <message>
        <source>数据过大</source>
        <translation>Data too large</translation>
    </message>
    <message>
        <source>写入被数据库的约束拒绝</source>
        <translation>Write refused by a database constraint</translation>
    </message>
    <message>
        <source>数据类型不符</source>
        <translation>Data type mismatch</translation>
    </message>
    <message>
        <source>系统不支持大文件</source>
        <translation>Large files not supported by the system</translation>
    </message>
    <message>
        <source>数据库拒绝访问</source>
        <translation>Database access denied</translation>
    </message>
    <message>
        <source>数据库操作失败</source>
        <translation>Database operation failed</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>数据库文件夹 %1 不可写入（%2）</source>
        <translation>Database folder %1 is not writable (%2)</translation>
    </message>
    <message>
        <source>数据库文件夹 %1 无法使用：%2 不是文件夹</source>
        <translation>Database folder %1 unusable: %2 is not a folder</translation>
    </message>
    <message>
        <source>数据库文件夹 %1 不存在</source>
        <translation>Database folder %1 does not exist</translation>
    </message>
    <message>
        <source>无法建立锁文件 %1（%2）</source>
        <translation>Cannot create lock file %1 (%2)</translation>
    </message>
    <message>
        <source>无法锁定锁文件 %1（%2）</source>
        <translation>Cannot lock lock file %1 (%2)</translation>
    </message>
    <message>
        <source>数据库 %1 正被另一个运行中的本程序使用（进程号 %2）</source>
        <translation>Database %1 is in use by another running copy of this program (process %2)</translation>
    </message>
    <message>
        <source>数据库 %1 正被另一个运行中的本程序使用</source>
        <translation>Database %1 is in use by another running copy of this program</translation>
    </message>
    <message>
        <source>%1 不是本程序的数据库：文件已损坏或不是 SQLite 数据库</source>
        <translation>%1 is not a database of this program: file damaged or not an SQLite database</translation>
    </message>
    <message>
        <source>数据库文件丢失</source>
        <translation>Database file lost</translation>
    </message>
    <message>
        <source>数据库只读</source>
        <translation>Database is read-only</translation>
    </message>
    <message>
        <source>数据库被锁定</source>
        <translation>Database is locked</translation>
    </message>
    <message>
        <source>磁盘已满</source>
        <translation>Disk full</translation>
    </message>
    <message>
        <source>%1 不是本程序的数据库：%2</source>
        <translation>%1 is not a database of this program: %2</translation>
    </message>
    <message>
        <source>文件已损坏</source>
        <translation>file damaged</translation>
    </message>
    <message>
        <source>缺少表 %1</source>
        <translation>table %1 missing</translation>
    </message>
    <message>
        <source>表 %1 应有 %2 列，实有 %3 列</source>
        <translation>table %1 has %3 columns, not %2</translation>
    </message>
    <message>
        <source>表 %1 第 %2 列应为 %3，实为 %4</source>
        <translation>column %2 of table %1 is %4, not %3</translation>
    </message>
    <message>
        <source>没有事件表</source>
        <translation>No event table</translation>
    </message>
    <message>
        <source>无法建立事件表（%1）</source>
        <translation>Cannot create the event table (%1)</translation>
    </message>
    <message>
        <source>只读连接不记录事件</source>
        <translation>A read-only connection records no events</translation>
    </message>
    <message>
        <source>数据库未打开</source>
        <translation>Database not open</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>锁文件 %1 是符号链接，已拒绝使用（其指向的文件不会被改动）</source>
        <translation>Lock file %1 is a symbolic link; refused (the file it points to is left alone)</translation>
    </message>
</context>
<context>
    <name>LogText</name>
    <message>
        <source>记录已停止：</source>
        <translation>Logging stopped: </translation>
    </message>
    <message>
        <source>数据库文件已被替换或被其他程序改动，已重新打开</source>
        <translation>Database file replaced or changed by another program; reopened</translation>
    </message>
    <message>
        <source>数据库文件已被删除，已新建一个空数据库</source>
        <translation>Database file deleted; a new empty database was made</translation>
    </message>
    <message>
        <source>表 sl_void 中的最新记录号无法读出，已按记录时间取回并存回（pv_data %1，Lpv_wdjl %2）</source>
        <translation>Latest record ids in table sl_void unreadable; recovered from record times and stored (pv_data %1, Lpv_wdjl %2)</translation>
    </message>
</context>
<context>
    <name>MqttDialog</name>
    <message>
        <source>MQTT 发布设置</source>
        <translation>MQTT publishing</translation>
    </message>
    <message>
        <source>发布到 MQTT 服务器</source>
        <translation>Publish to an MQTT broker</translation>
    </message>
    <message>
        <source>启用 MQTT 发布</source>
        <translation>Enable MQTT publishing</translation>
    </message>
    <message>
        <source>服务器地址</source>
        <translation>Broker host</translation>
    </message>
    <message>
        <source>服务器端口</source>
        <translation>Broker port</translation>
    </message>
    <message>
        <source>客户端标识</source>
        <translation>Client ID</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>automatic</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>CA 证书文件</source>
        <translation>CA certificate file</translation>
    </message>
    <message>
        <source>不加密</source>
        <translation>no encryption</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>选择 CA 证书文件</source>
        <translation>Choose CA certificate file</translation>
    </message>
    <message>
        <source>主题前缀</source>
        <translation>Topic prefix</translation>
    </message>
    <message>
        <source>服务器：</source>
        <translation>Broker:</translation>
    </message>
    <message>
        <source>端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>客户端标识：</source>
        <translation>Client ID:</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>密码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>CA 证书（TLS）：</source>
        <translation>CA certificate (TLS):</translation>
    </message>
    <message>
        <source>主题前缀：</source>
        <translation>Topic prefix:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>证书 (*.pem *.crt);;所有文件 (*)</source>
        <translation>Certificates (*.pem *.crt);;All files (*)</translation>
    </message>
    <message>
        <source>MQTT 设置未能保存到 %1</source>
        <translation>MQTT settings not saved to %1</translation>
    </message>
    <message>
        <source>设置错误</source>
        <translation>Settings error</translation>
    </message>
</context>
<context>
    <name>MqttText</name>
    <message>
        <source>MQTT 主题前缀不能为空</source>
        <translation>The MQTT topic prefix must not be empty</translation>
    </message>
    <message>
        <source>MQTT 主题前缀不能含通配符 + 或 #</source>
        <translation>The MQTT topic prefix must not contain the wildcards + or #</translation>
    </message>
    <message>
        <source>MQTT 主题前缀不能含空字符（NUL）</source>
        <translation>The MQTT topic prefix must not contain a null character (NUL)</translation>
    </message>
    <message>
        <source>MQTT 主题前缀含主题中不允许的字符</source>
        <translation>The MQTT topic prefix contains characters not allowed in a topic</translation>
    </message>
    <message>
        <source>MQTT 主题前缀过长：主题不能超过 65535 字节</source>
        <translation>The MQTT topic prefix is too long: a topic cannot exceed 65535 bytes</translation>
    </message>
    <message>
        <source>CA 证书文件不存在：%1</source>
        <translation>CA certificate file does not exist: %1</translation>
    </message>
    <message>
        <source>CA 证书文件无法读取：%1</source>
        <translation>CA certificate file cannot be read: %1</translation>
    </message>
    <message>
        <source>CA 证书文件中没有证书：%1</source>
        <translation>No certificate in the CA certificate file: %1</translation>
    </message>
    <message>
        <source>TLS 加密连接无法建立</source>
        <translation>The TLS connection could not be established</translation>
    </message>
    <message>
        <source>服务器无法连接：%1</source>
        <translation>Broker unreachable: %1</translation>
    </message>
    <message>
        <source>服务器名称无法解析</source>
        <translation>Broker name cannot be resolved</translation>
    </message>
    <message>
        <source>服务器拒绝连接（代码 %1）</source>
        <translation>Broker refused the connection (code %1)</translation>
    </message>
    <message>
        <source>服务器拒绝了用户名或密码</source>
        <translation>Broker refused the user name or password</translation>
    </message>
    <message>
        <source>连接中断</source>
        <translation>Connection lost</translation>
    </message>
    <message>
        <source>服务器一再断开刚建立的连接</source>
        <translation>Broker keeps dropping the new connection</translation>
    </message>
    <message>
        <source>服务器一再断开刚建立的连接，可能另一个记录程序正在使用同一客户端标识 %1</source>
        <translation>Broker keeps dropping the new connection; another logger may be using the same client ID %1</translation>
    </message>
    <message>
        <source>，不发送任何数据</source>
        <translation>; nothing is sent</translation>
    </message>
    <message>
        <source>遗嘱消息被拒绝（代码 %1）</source>
        <translation>Will message refused (code %1)</translation>
    </message>
    <message>
        <source>消息被拒绝，未发布（代码 %1）</source>
        <translation>Message refused, not published (code %1)</translation>
    </message>
    <message>
        <source>错误（代码 %1）</source>
        <translation>Error (code %1)</translation>
    </message>
    <message>
        <source>MQTT 已连接 %1</source>
        <translation>MQTT connected %1</translation>
    </message>
    <message>
        <source>MQTT 发布失败 %1：%2</source>
        <translation>MQTT publishing failed %1: %2</translation>
    </message>
    <message>
        <source>MQTT 未连接 %1（%2），等待重试</source>
        <translation>MQTT not connected %1 (%2), retrying</translation>
    </message>
    <message>
        <source>MQTT 不发布：%1</source>
        <translation>MQTT not publishing: %1</translation>
    </message>
</context>
<context>
    <name>Mscom</name>
    <message>
        <source>事件未能记入数据库：</source>
        <translation>Events not recorded in the database: </translation>
    </message>
</context>
<context>
    <name>ParamMap</name>
    <message>
        <source>0:无 </source>
        <translation>0:None </translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>1:上限报警 </source>
        <translation>1:High alarm </translation>
    </message>
    <message>
        <source>上限报警</source>
        <translation>High alarm</translation>
    </message>
    <message>
        <source>2:下限报警 </source>
        <translation>2:Low alarm </translation>
    </message>
    <message>
        <source>下限报警</source>
        <translation>Low alarm</translation>
    </message>
    <message>
        <source>3:上偏差报警 </source>
        <translation>3:High dev. alarm </translation>
    </message>
    <message>
        <source>上偏差报警</source>
        <translation>High dev. alarm</translation>
    </message>
    <message>
        <source>4:下偏差报警 </source>
        <translation>4:Low dev. alarm </translation>
    </message>
    <message>
        <source>下偏差报警</source>
        <translation>Low dev. alarm</translation>
    </message>
    <message>
        <source>5:偏差带报警 </source>
        <translation>5:Dev. band alarm </translation>
    </message>
    <message>
        <source>偏差带报警</source>
        <translation>Dev. band alarm</translation>
    </message>
    <message>
        <source>1:CH1 变送 </source>
        <translation>1:CH1 retrans. </translation>
    </message>
    <message>
        <source>通道一变送</source>
        <translation>CH1 retrans.</translation>
    </message>
    <message>
        <source>2:CH2 变送 </source>
        <translation>2:CH2 retrans. </translation>
    </message>
    <message>
        <source>通道二变送</source>
        <translation>CH2 retrans.</translation>
    </message>
    <message>
        <source>3:CH3 变送 </source>
        <translation>3:CH3 retrans. </translation>
    </message>
    <message>
        <source>通道三变送</source>
        <translation>CH3 retrans.</translation>
    </message>
    <message>
        <source>4:CH4 变送 </source>
        <translation>4:CH4 retrans. </translation>
    </message>
    <message>
        <source>通道4变送</source>
        <translation>CH4 retrans.</translation>
    </message>
    <message>
        <source>13:0Ω80(0～80Ω) </source>
        <translation>13:0Ω80(0-80Ω) </translation>
    </message>
    <message>
        <source> 0Ω80(0～80Ω) </source>
        <translation> 0Ω80(0-80Ω) </translation>
    </message>
    <message>
        <source>14:0Ω400(0～400Ω) </source>
        <translation>14:0Ω400(0-400Ω) </translation>
    </message>
    <message>
        <source> 0Ω400(0～400Ω)</source>
        <translation> 0Ω400(0-400Ω)</translation>
    </message>
    <message>
        <source>15:0Ω4000(0～4000Ω) </source>
        <translation>15:0Ω4000(0-4000Ω) </translation>
    </message>
    <message>
        <source> 0Ω5000(0～5000Ω)</source>
        <translation> 0Ω5000(0-5000Ω)</translation>
    </message>
    <message>
        <source>16:0MA10(0～10MA) </source>
        <translation>16:0MA10(0-10MA) </translation>
    </message>
    <message>
        <source> 0MA10(0～10MA)</source>
        <translation> 0MA10(0-10MA)</translation>
    </message>
    <message>
        <source>17:0MA20(0～20MA) </source>
        <translation>17:0MA20(0-20MA) </translation>
    </message>
    <message>
        <source> 0MA20(0～20MA)</source>
        <translation> 0MA20(0-20MA)</translation>
    </message>
    <message>
        <source>21:正负20MV(-20-+20MV) </source>
        <translation>21:±20MV(-20-+20MV) </translation>
    </message>
    <message>
        <source> 正负20MV(-20-+20MV)</source>
        <translation> ±20MV(-20-+20MV)</translation>
    </message>
    <message>
        <source>22:正负100MV(-100-+100MV)</source>
        <translation>22:±100MV(-100-+100MV)</translation>
    </message>
    <message>
        <source> 正负100MV(-100-+100MV)</source>
        <translation> ±100MV(-100-+100MV)</translation>
    </message>
    <message>
        <source>29:正负5V(-5-+5V) </source>
        <translation>29:±5V(-5-+5V) </translation>
    </message>
    <message>
        <source> 正负5V(-5-+5V)</source>
        <translation> ±5V(-5-+5V)</translation>
    </message>
    <message>
        <source>30:正负10V(-10-+10V) </source>
        <translation>30:±10V(-10-+10V) </translation>
    </message>
    <message>
        <source> 正负10V(-10-+10V)</source>
        <translation> ±10V(-10-+10V)</translation>
    </message>
    <message>
        <source>0:无校验 </source>
        <translation>0:None </translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>1:奇校验 </source>
        <translation>1:Odd </translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>2:偶校验 </source>
        <translation>2:Even </translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>0:摄氏度 </source>
        <translation>0:Celsius </translation>
    </message>
    <message>
        <source>摄氏度</source>
        <translation>Celsius</translation>
    </message>
    <message>
        <source>1:华氏度 </source>
        <translation>1:Fahrenheit </translation>
    </message>
    <message>
        <source>华氏度</source>
        <translation>Fahrenheit</translation>
    </message>
    <message>
        <source>2:绝对温度 </source>
        <translation>2:Kelvin </translation>
    </message>
    <message>
        <source>绝对温度</source>
        <translation>Kelvin</translation>
    </message>
    <message>
        <source>0:报警模式 </source>
        <translation>0:Alarm </translation>
    </message>
    <message>
        <source>报警模式</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <source>1:位式控制 </source>
        <translation>1:On/off control </translation>
    </message>
    <message>
        <source>位式控制</source>
        <translation>On/off control</translation>
    </message>
    <message>
        <source>2.输出-位式&amp;报警</source>
        <translation>2.Output-On/off&amp;Alarm</translation>
    </message>
    <message>
        <source>3.变送设置</source>
        <translation>3.Retransmission</translation>
    </message>
    <message>
        <source>4.通道一设置</source>
        <translation>4.Channel 1</translation>
    </message>
    <message>
        <source>5.通道二设置</source>
        <translation>5.Channel 2</translation>
    </message>
    <message>
        <source>6.通道三设置</source>
        <translation>6.Channel 3</translation>
    </message>
    <message>
        <source>7.通道四设置</source>
        <translation>7.Channel 4</translation>
    </message>
    <message>
        <source>8.通讯设定</source>
        <translation>8.Communication</translation>
    </message>
    <message>
        <source>9.继电器功能</source>
        <translation>9.Relay function</translation>
    </message>
    <message>
        <source>10.报警设置</source>
        <translation>10.Alarm settings</translation>
    </message>
    <message>
        <source>CH1设定值SV</source>
        <translation>CH1 setpoint SV</translation>
    </message>
    <message>
        <source>CH1报警值</source>
        <translation>CH1 alarm value</translation>
    </message>
    <message>
        <source>CH2设定值SV</source>
        <translation>CH2 setpoint SV</translation>
    </message>
    <message>
        <source>CH2报警值</source>
        <translation>CH2 alarm value</translation>
    </message>
    <message>
        <source>CH3设定值SV</source>
        <translation>CH3 setpoint SV</translation>
    </message>
    <message>
        <source>CH3报警值</source>
        <translation>CH3 alarm value</translation>
    </message>
    <message>
        <source>CH4设定值SV</source>
        <translation>CH4 setpoint SV</translation>
    </message>
    <message>
        <source>CH4报警值</source>
        <translation>CH4 alarm value</translation>
    </message>
    <message>
        <source>CH1报警方式</source>
        <translation>CH1 alarm mode</translation>
    </message>
    <message>
        <source>0～5：0-无，1-上限，2-下限，3-上偏差，4-下偏差，5-偏差带<byte value="xd"/>
</source>
        <translation>0-5: 0 none, 1 high, 2 low, 3 high dev., 4 low dev., 5 dev. band</translation>
    </message>
    <message>
        <source>CH1 报警延迟</source>
        <translation>CH1 alarm delay</translation>
    </message>
    <message>
        <source>CH2报警方式</source>
        <translation>CH2 alarm mode</translation>
    </message>
    <message>
        <source>CH2 报警延迟</source>
        <translation>CH2 alarm delay</translation>
    </message>
    <message>
        <source>CH3报警方式</source>
        <translation>CH3 alarm mode</translation>
    </message>
    <message>
        <source>CH3 报警延迟</source>
        <translation>CH3 alarm delay</translation>
    </message>
    <message>
        <source>CH4报警方式</source>
        <translation>CH4 alarm mode</translation>
    </message>
    <message>
        <source>CH4 报警延迟</source>
        <translation>CH4 alarm delay</translation>
    </message>
    <message>
        <source>通讯地址</source>
        <translation>Station address</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>0～2：--0: 4800bps。1: 9600bps。2: 19200bps<byte value="xd"/>
</source>
        <translation>0-2: 0: 4800 bps, 1: 9600 bps, 2: 19200 bps</translation>
    </message>
    <message>
        <source>校验方式</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>0～2：--0：无校验，1:奇校验，2:偶校验<byte value="xd"/>
</source>
        <translation>0-2: 0 none, 1 odd, 2 even</translation>
    </message>
    <message>
        <source>通讯延迟</source>
        <translation>Reply delay</translation>
    </message>
    <message>
        <source>变送通道选择</source>
        <translation>Retrans. channel</translation>
    </message>
    <message>
        <source>1～4，4选1通道测量值变送<byte value="xd"/>
</source>
        <translation>1-4: the channel whose PV is retransmitted</translation>
    </message>
    <message>
        <source>变送输出量程</source>
        <translation>Retrans. output range</translation>
    </message>
    <message>
        <source>0～2：0(4-20mA)，1(0-10mA)，2(0-20mA)<byte value="xd"/>
</source>
        <translation>0-2: 0 (4-20mA), 1 (0-10mA), 2 (0-20mA)</translation>
    </message>
    <message>
        <source>变送上限</source>
        <translation>Retrans. high</translation>
    </message>
    <message>
        <source>变送下限</source>
        <translation>Retrans. low</translation>
    </message>
    <message>
        <source>CH1 输入类型</source>
        <translation>CH1 input type</translation>
    </message>
    <message>
        <source>0～30</source>
        <translation>0-30</translation>
    </message>
    <message>
        <source>CH1 小数点</source>
        <translation>CH1 decimal point</translation>
    </message>
    <message>
        <source>0～4：0&lt;10000&gt;，1&lt;1000.0&gt;，2&lt;100.00&gt;，3&lt;10.000&gt;，4&lt;1.0000&gt;<byte value="xd"/>
</source>
        <translation>0-4: 0&lt;10000&gt;, 1&lt;1000.0&gt;, 2&lt;100.00&gt;, 3&lt;10.000&gt;, 4&lt;1.0000&gt;</translation>
    </message>
    <message>
        <source>输入上限</source>
        <translation>Input high</translation>
    </message>
    <message>
        <source>输入下限</source>
        <translation>Input low</translation>
    </message>
    <message>
        <source>平移修正</source>
        <translation>PV offset</translation>
    </message>
    <message>
        <source>CH2 输入类型</source>
        <translation>CH2 input type</translation>
    </message>
    <message>
        <source>CH2 小数点</source>
        <translation>CH2 decimal point</translation>
    </message>
    <message>
        <source>CH3 输入类型</source>
        <translation>CH3 input type</translation>
    </message>
    <message>
        <source>CH3 小数点</source>
        <translation>CH3 decimal point</translation>
    </message>
    <message>
        <source>CH4 输入类型</source>
        <translation>CH4 input type</translation>
    </message>
    <message>
        <source>CH4 小数点</source>
        <translation>CH4 decimal point</translation>
    </message>
    <message>
        <source>屏幕点亮时间</source>
        <translation>Display on time</translation>
    </message>
    <message>
        <source>0～60min，0--常亮，1～60--定时关闭显示<byte value="xd"/>
</source>
        <translation>0-60 min: 0 always on, 1-60 display off after</translation>
    </message>
    <message>
        <source>输入数字滤波</source>
        <translation>Input filter</translation>
    </message>
    <message>
        <source>0～10 S</source>
        <translation>0-10 s</translation>
    </message>
    <message>
        <source>温度单位</source>
        <translation>Temperature unit</translation>
    </message>
    <message>
        <source>0～2，0-摄氏度C，1-华氏度F，2-绝对温标K<byte value="xd"/>
</source>
        <translation>0-2: 0 Celsius C, 1 Fahrenheit F, 2 Kelvin K</translation>
    </message>
    <message>
        <source>继电器功能切换</source>
        <translation>Relay function</translation>
    </message>
    <message>
        <source>0～1：0-报警方式，1-位式控制<byte value="xd"/>
</source>
        <translation>0-1: 0 alarm, 1 on/off control</translation>
    </message>
    <message>
        <source>%1～%2</source>
        <translation>%1 to %2</translation>
    </message>
    <message>
        <source>%1：代码“%2”不在 %3 之内，未写入</source>
        <translation>%1: code &quot;%2&quot; is not within %3; not written</translation>
    </message>
    <message>
        <source>%1：“%2”超出范围 %3，未写入</source>
        <translation>%1: &quot;%2&quot; is outside %3; not written</translation>
    </message>
    <message>
        <source>%1 之间的整数</source>
        <translation>a whole number within %1</translation>
    </message>
    <message>
        <source>%1 之间、最多一位小数的数</source>
        <translation>a number within %1 with at most one decimal</translation>
    </message>
    <message>
        <source>列表中的一项，或 %1 之间的代码</source>
        <translation>an item of the list or a code within %1</translation>
    </message>
    <message>
        <source>%1：没有填写，应填%2，未写入</source>
        <translation>%1: nothing entered, expected %2; not written</translation>
    </message>
    <message>
        <source>%1：“%2”不合要求，应填%3，未写入</source>
        <translation>%1: &quot;%2&quot; is not valid, expected %3; not written</translation>
    </message>
</context>
<context>
    <name>ParamSet</name>
    <message>
        <source>寄存器 %1</source>
        <translation>Register %1</translation>
    </message>
    <message>
        <source>参数文件 %1：</source>
        <translation>Parameter file %1: </translation>
    </message>
    <message>
        <source>第 %1 项</source>
        <translation>entry %1</translation>
    </message>
    <message>
        <source>无法读取（%1）</source>
        <translation>cannot be read (%1)</translation>
    </message>
    <message>
        <source>无法写入（%1）</source>
        <translation>cannot be written (%1)</translation>
    </message>
    <message>
        <source>不是 JSON（%1）</source>
        <translation>not JSON (%1)</translation>
    </message>
    <message>
        <source>不是本程序的参数文件</source>
        <translation>not a parameter file of this program</translation>
    </message>
    <message>
        <source>缺少 %1 或其类型不对</source>
        <translation>%1 missing or of the wrong type</translation>
    </message>
    <message>
        <source>%1 不是对象</source>
        <translation>%1 is not an object</translation>
    </message>
    <message>
        <source>%1 缺少 %2 或其类型不对</source>
        <translation>%1: %2 missing or of the wrong type</translation>
    </message>
    <message>
        <source>%1 的寄存器号不是 1～65535 的整数</source>
        <translation>%1: the register is not a whole number 1..65535</translation>
    </message>
    <message>
        <source>%1 的 raw 不是 -32768～32767 的整数（寄存器 %2）</source>
        <translation>%1: raw is not a whole number -32768..32767 (register %2)</translation>
    </message>
    <message>
        <source>%1 重复了寄存器 %2</source>
        <translation>%1 repeats register %2</translation>
    </message>
    <message>
        <source>缺少寄存器 %1（%2）</source>
        <translation>register %1 (%2) is missing</translation>
    </message>
    <message>
        <source>寄存器	参数	%1	%2</source>
        <translation>Register	Parameter	%1	%2</translation>
    </message>
    <message>
        <source>参数相同</source>
        <translation>The parameters are the same</translation>
    </message>
    <message>
        <source>%1：通讯设置，未写入（需 --include-comm）</source>
        <translation>%1: communication setting, not written (needs --include-comm)</translation>
    </message>
    <message>
        <source>%1：未写入（写入已中止）</source>
        <translation>%1: not written (the writing stopped)</translation>
    </message>
    <message>
        <source>%1：已写入并读回确认（%2）</source>
        <translation>%1: written and confirmed by reading back (%2)</translation>
    </message>
    <message>
        <source>寄存器 %1～%2 读取失败：%3</source>
        <translation>registers %1..%2 could not be read: %3</translation>
    </message>
</context>
<context>
    <name>ParamSetFlow</name>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>参数文件的型号 %1 与仪表 %2 不同，未写入</source>
        <translation>the parameter file&apos;s model %1 differs from the instrument&apos;s %2: nothing written</translation>
    </message>
    <message>
        <source>%1：通讯设置，未写入（需勾选“包括通讯设置”）</source>
        <translation>%1: communication setting, not written (tick “Include the communication settings”)</translation>
    </message>
</context>
<context>
    <name>ParamsCommand</name>
    <message>
        <source>与同一线路上的另一站比较</source>
        <translation>compare with another station on the same line</translation>
    </message>
    <message>
        <source>写入全部参数，而不只是不同的</source>
        <translation>write every parameter, not only those that differ</translation>
    </message>
    <message>
        <source>也写入通讯设置（通讯地址、波特率、校验方式、通讯延迟）</source>
        <translation>also write the communication settings (address, baud rate, parity, delay)</translation>
    </message>
    <message>
        <source>只列出将写入的参数，不写入</source>
        <translation>only list what would be written, write nothing</translation>
    </message>
    <message>
        <source>型号不同也写入</source>
        <translation>write even when the model differs</translation>
    </message>
    <message>
        <source>保存、比较、写入仪表的参数。
退出码：read、write 成功 0，失败 1；diff 相同 0，不同 1，无法比较 2；用法错误 2。</source>
        <translation>Save, compare and write an instrument&apos;s parameters.
Exit status: read, write 0 when done, 1 on a failure; diff 0 equal, 1 different, 2 when they cannot be compared; 2 on a usage error.</translation>
    </message>
    <message>
        <source>保存参数的文件（read）</source>
        <translation>file the parameters are saved in (read)</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>parameters</translation>
    </message>
    <message>
        <source>参数文件（diff、write）</source>
        <translation>parameter file (diff, write)</translation>
    </message>
    <message>
        <source>缺少 read、diff 或 write</source>
        <translation>read, diff or write is missing</translation>
    </message>
    <message>
        <source>未知的命令：%1（应为 read、diff 或 write）</source>
        <translation>unknown command: %1 (read, diff or write)</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>unexpected argument: %1</translation>
    </message>
    <message>
        <source>%1 不能用于 %2</source>
        <translation>%1 cannot be used with %2</translation>
    </message>
    <message>
        <source>缺少 --out</source>
        <translation>--out is missing</translation>
    </message>
    <message>
        <source>diff 需要一个参数文件或 --with-station，二者只取其一</source>
        <translation>diff needs a parameter file or --with-station, one of the two</translation>
    </message>
    <message>
        <source>缺少参数文件</source>
        <translation>the parameter file is missing</translation>
    </message>
    <message>
        <source>--with-station 应为 1..247：%1</source>
        <translation>--with-station must be 1..247: %1</translation>
    </message>
    <message>
        <source>--station 只能是一个站号：%1</source>
        <translation>--station takes one station only: %1</translation>
    </message>
    <message>
        <source>已保存 %1 个参数：%2</source>
        <translation>%1 parameters saved: %2</translation>
    </message>
    <message>
        <source>站 %1</source>
        <translation>station %1</translation>
    </message>
    <message>
        <source>写入不会记入日志：无法打开数据库 %1</source>
        <translation>the writes will not be journaled: cannot open the database %1</translation>
    </message>
    <message>
        <source>写入未能记入日志：%1</source>
        <translation>the writes could not be journaled: %1</translation>
    </message>
    <message>
        <source>已写入并确认 %1 个参数</source>
        <translation>%1 parameters written and confirmed</translation>
    </message>
    <message>
        <source>参数文件的型号 %1 与仪表 %2 不同（--force 仍然写入）</source>
        <translation>the parameter file&apos;s model %1 differs from the instrument&apos;s %2 (--force writes all the same)</translation>
    </message>
    <message>
        <source>%1：将写入 %2</source>
        <translation>%1: would write %2</translation>
    </message>
</context>
<context>
    <name>ReadoutPanel</name>
    <message>
        <source>通道一报警</source>
        <translation>CH1 alarm</translation>
    </message>
    <message>
        <source>通道一开路</source>
        <translation>CH1 open</translation>
    </message>
    <message>
        <source>通道一短路</source>
        <translation>CH1 short</translation>
    </message>
    <message>
        <source>通道二报警</source>
        <translation>CH2 alarm</translation>
    </message>
    <message>
        <source>通道二开路</source>
        <translation>CH2 open</translation>
    </message>
    <message>
        <source>通道二短路</source>
        <translation>CH2 short</translation>
    </message>
    <message>
        <source>通道三报警</source>
        <translation>CH3 alarm</translation>
    </message>
    <message>
        <source>通道三开路</source>
        <translation>CH3 open</translation>
    </message>
    <message>
        <source>通道三短路</source>
        <translation>CH3 short</translation>
    </message>
    <message>
        <source>通道四报警</source>
        <translation>CH4 alarm</translation>
    </message>
    <message>
        <source>通道四开路</source>
        <translation>CH4 open</translation>
    </message>
    <message>
        <source>通道四短路</source>
        <translation>CH4 short</translation>
    </message>
    <message>
        <source>报警一OFF</source>
        <translation>Alarm 1 OFF</translation>
    </message>
    <message>
        <source>报警二OFF</source>
        <translation>Alarm 2 OFF</translation>
    </message>
    <message>
        <source>实时值</source>
        <translation>Live values</translation>
    </message>
    <message>
        <source> （保持值）</source>
        <translation> (held)</translation>
    </message>
    <message>
        <source>标尺读数 %1 %2%3</source>
        <translation>Cursor %1 %2%3</translation>
    </message>
    <message>
        <source>标尺读数 无记录</source>
        <translation>Cursor: no record</translation>
    </message>
</context>
<context>
    <name>SettingsText</name>
    <message>
        <source>设置文件 %1 无法读取（%2），其中的设置未使用</source>
        <translation>Settings file %1 unreadable (%2); its settings are not used</translation>
    </message>
    <message>
        <source>设置文件 %1 第 %2 行无法识别，文件已损坏</source>
        <translation>Settings file %1: line %2 not recognised, the file is damaged</translation>
    </message>
    <message>
        <source>设置文件 %1 含有密码且他人可读，已改为仅本人可读</source>
        <translation>Settings file %1 holds a password and was readable by others; now readable by its owner only</translation>
    </message>
    <message>
        <source>设置文件 %1 含有密码且他人可读，无法更改其权限</source>
        <translation>Settings file %1 holds a password and is readable by others; its permissions cannot be changed</translation>
    </message>
    <message>
        <source>设置文件 %1 中 [link] %2 的值无效：%3</source>
        <translation>Settings file %1: invalid value of [link] %2: %3</translation>
    </message>
    <message>
        <source>，已用默认值</source>
        <translation>, default used</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>Windows</name>
    <message>
        <source> — 线路 %1 站 %2</source>
        <translation> — line %1 station %2</translation>
    </message>
</context>
<context>
    <name>YRange</name>
    <message>
        <source>最大值须在 -12000 到 36000 之间</source>
        <translation>The maximum must lie between -12000 and 36000</translation>
    </message>
    <message>
        <source>最小值须在 -12000 到 35000 之间</source>
        <translation>The minimum must lie between -12000 and 35000</translation>
    </message>
    <message>
        <source>最小值须小于最大值</source>
        <translation>The minimum must be below the maximum</translation>
    </message>
    <message>
        <source>最大值、最小值及其差须在 -32768 到 32767 之间</source>
        <translation>Maximum, minimum and their difference must lie between -32768 and 32767</translation>
    </message>
    <message>
        <source>最大值与最小值之差取整后为 0</source>
        <translation>The difference of maximum and minimum rounds to 0</translation>
    </message>
</context>
<context>
    <name>frmSplash</name>
    <message>
        <source>系统正在初始化数据引擎，请稍后。。。。。。</source>
        <translation>Starting the data engine, please wait......</translation>
    </message>
</context>
<context>
    <name>ssqx</name>
    <message>
        <source>过程控制仪表 QR5300M  OverView</source>
        <translation>Process Controller QR5300M  OverView</translation>
    </message>
    <message>
        <source>18：42：00</source>
        <translation>18:42:00</translation>
    </message>
    <message>
        <source>功能</source>
        <translation>Functions</translation>
    </message>
    <message>
        <source>历史曲线</source>
        <translation>History</translation>
    </message>
    <message>
        <source>F7 右移</source>
        <translation>F7 Right</translation>
    </message>
    <message>
        <source>F6 左移</source>
        <translation>F6 Left</translation>
    </message>
    <message>
        <source>F5 选择</source>
        <translation>F5 Select</translation>
    </message>
    <message>
        <source>F4 标尺</source>
        <translation>F4 Cursor</translation>
    </message>
    <message>
        <source>F3 打印</source>
        <translation>F3 Print</translation>
    </message>
    <message>
        <source>F2 放大</source>
        <translation>F2 Zoom +</translation>
    </message>
    <message>
        <source>F1 缩小</source>
        <translation>F1 Zoom −</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>参数校准</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>CONFIG</source>
        <translation>CONFIG</translation>
    </message>
    <message>
        <source>MQTT发布</source>
        <translation>MQTT</translation>
    </message>
    <message>
        <source>无记录</source>
        <translation>No records</translation>
    </message>
    <message>
        <source>历史读取失败</source>
        <translation>History read failed</translation>
    </message>
    <message>
        <source>历史读取失败：</source>
        <translation>History read failed: </translation>
    </message>
    <message>
        <source>F4 复原</source>
        <translation>F4 Restore</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>记录正常</source>
        <translation>Logging OK</translation>
    </message>
    <message>
        <source>记录正常（%1）</source>
        <translation>Logging OK (%1)</translation>
    </message>
    <message>
        <source>未确认报警</source>
        <translation>Unacknowledged alarms</translation>
    </message>
    <message>
        <source>报警列表 (F9)</source>
        <translation>Alarm list (F9)</translation>
    </message>
    <message>
        <source>未确认报警：%1</source>
        <translation>Unacknowledged alarms: %1</translation>
    </message>
</context>
</TS>
