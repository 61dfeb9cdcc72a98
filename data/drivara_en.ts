<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CAboutDialog</name>
    <message>
        <source>关于 Drivara</source>
        <translation>About Drivara</translation>
    </message>
    <message>
        <source>Drivara 1.6 版</source>
        <translation>Drivara Version 1.6</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CBusEventList</name>
    <message>
        <source>错误复位或无错误</source>
        <translation>Error reset or no error</translation>
    </message>
    <message>
        <source>一般错误</source>
        <translation>Generic error</translation>
    </message>
    <message>
        <source>内部软件错误</source>
        <translation>Internal software error</translation>
    </message>
    <message>
        <source>用户软件错误</source>
        <translation>User software error</translation>
    </message>
    <message>
        <source>数据集错误</source>
        <translation>Data set error</translation>
    </message>
    <message>
        <source>CAN 溢出（对象丢失）</source>
        <translation>CAN overrun (objects lost)</translation>
    </message>
    <message>
        <source>CAN 处于错误被动状态</source>
        <translation>CAN in error passive mode</translation>
    </message>
    <message>
        <source>节点保护或心跳错误</source>
        <translation>Life guard or heartbeat error</translation>
    </message>
    <message>
        <source>已从总线关闭恢复</source>
        <translation>Recovered from bus off</translation>
    </message>
    <message>
        <source>CAN-ID 冲突</source>
        <translation>CAN-ID collision</translation>
    </message>
    <message>
        <source>PDO 因长度错误未处理</source>
        <translation>PDO not processed due to length error</translation>
    </message>
    <message>
        <source>PDO 长度超出</source>
        <translation>PDO length exceeded</translation>
    </message>
    <message>
        <source>SYNC 数据长度异常</source>
        <translation>Unexpected SYNC data length</translation>
    </message>
    <message>
        <source>RPDO 超时</source>
        <translation>RPDO timeout</translation>
    </message>
    <message>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>电流，设备输入侧</source>
        <translation>Current, device input side</translation>
    </message>
    <message>
        <source>设备内部电流</source>
        <translation>Current inside the device</translation>
    </message>
    <message>
        <source>电流，设备输出侧</source>
        <translation>Current, device output side</translation>
    </message>
    <message>
        <source>电压</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <source>电源电压</source>
        <translation>Mains voltage</translation>
    </message>
    <message>
        <source>设备内部电压</source>
        <translation>Voltage inside the device</translation>
    </message>
    <message>
        <source>输出电压</source>
        <translation>Output voltage</translation>
    </message>
    <message>
        <source>温度</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>环境温度</source>
        <translation>Ambient temperature</translation>
    </message>
    <message>
        <source>设备温度</source>
        <translation>Device temperature</translation>
    </message>
    <message>
        <source>设备硬件</source>
        <translation>Device hardware</translation>
    </message>
    <message>
        <source>设备软件</source>
        <translation>Device software</translation>
    </message>
    <message>
        <source>内部软件</source>
        <translation>Internal software</translation>
    </message>
    <message>
        <source>用户软件</source>
        <translation>User software</translation>
    </message>
    <message>
        <source>数据集</source>
        <translation>Data set</translation>
    </message>
    <message>
        <source>附加模块</source>
        <translation>Additional modules</translation>
    </message>
    <message>
        <source>监控</source>
        <translation>Monitoring</translation>
    </message>
    <message>
        <source>通信</source>
        <translation>Communication</translation>
    </message>
    <message>
        <source>协议错误</source>
        <translation>Protocol error</translation>
    </message>
    <message>
        <source>外部错误</source>
        <translation>External error</translation>
    </message>
    <message>
        <source>附加功能</source>
        <translation>Additional functions</translation>
    </message>
    <message>
        <source>设备特定</source>
        <translation>Device specific</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Boot-up</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>运行</source>
        <translation>Operational</translation>
    </message>
    <message>
        <source>预运行</source>
        <translation>Pre-operational</translation>
    </message>
    <message>
        <source>状态 %1</source>
        <translation>State %1</translation>
    </message>
    <message>
        <source>紧急报文</source>
        <translation>Emergency</translation>
    </message>
    <message>
        <source>心跳</source>
        <translation>Heartbeat</translation>
    </message>
    <message>
        <source>心跳丢失</source>
        <translation>Heartbeat lost</translation>
    </message>
    <message>
        <source>%1（错误寄存器 %2，数据 %3）</source>
        <translation>%1 (error register %2, data %3)</translation>
    </message>
    <message>
        <source>已静默 %1 ms</source>
        <translation>Silent for %1 ms</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>节点</source>
        <translation>Node</translation>
    </message>
    <message>
        <source>事件</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>错误代码</source>
        <translation>Error code</translation>
    </message>
    <message>
        <source>含义</source>
        <translation>Meaning</translation>
    </message>
</context>

<context>
    <name>CEmergencyList</name>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
</context>
<context>
    <name>CChildFrame</name>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CCommCan</name>
    <message>
        <source>协议</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>驱动器</source>
        <translation>Drive</translation>
    </message>
    <message>
        <source>详细</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>驱动器号</source>
        <translation>Driver ID</translation>
    </message>
    <message>
        <source>CAN 插件</source>
        <translation>CAN plugin</translation>
    </message>
    <message>
        <source>接口</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
</context>
<context>
    <name>CCommMode</name>
    <message>
        <source>通讯方式</source>
        <translation>Communication Mode</translation>
    </message>
    <message>
        <source>离线</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>下一步</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CCommRs232</name>
    <message>
        <source>连接/断开</source>
        <translation>Connect/Disconnect</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>端口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>驱动器号</source>
        <translation>Driver ID</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>%1 (占用)</source>
        <translation>%1 (in use)</translation>
    </message>
</context>
<context>
    <name>CInitSaveDialog</name>
    <message>
        <source>参数初始化 / 保存</source>
        <translation>Parameter Initialise / Save</translation>
    </message>
    <message>
        <source>存储控制参数</source>
        <translation>Store control parameters</translation>
    </message>
    <message>
        <source>存储电机参数</source>
        <translation>Store motor parameters</translation>
    </message>
    <message>
        <source>初始化控制参数</source>
        <translation>Initialise control parameters</translation>
    </message>
    <message>
        <source>驱动器重启</source>
        <translation>Restart drive</translation>
    </message>
    <message>
        <source>驱动器保存参数</source>
        <translation>Drive save parameters</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>CLanguageDialog</name>
    <message>
        <source>语言切换</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>Drivara V1.6</source>
        <translation>Drivara V1.6</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>打开工程</source>
        <translation>Open Project...</translation>
    </message>
    <message>
        <source>打开设备描述</source>
        <translation>Open Device Description...</translation>
    </message>
    <message>
        <source>%1 第 %2 行：%3
设备描述未转换，未写入任何文件。</source>
        <translation>%1, line %2: %3
The device description was not converted; nothing was written.</translation>
    </message>
    <message>
        <source>%1：%2
字典未更改。</source>
        <translation>%1: %2
The dictionary was not changed.</translation>
    </message>
    <message>
        <source>已将 %1 的字典（%2 个对象）写入 %3。
程序下次启动时使用该字典：请重新启动程序。</source>
        <translation>The dictionary of %1 (%2 objects) was written to %3.
Drivara uses it from the next start: please restart the program.</translation>
    </message>
    <message>
        <source>保存工程</source>
        <translation>Save Project...</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>通讯(&amp;C)</source>
        <translation>&amp;Communication</translation>
    </message>
    <message>
        <source>连接/断开</source>
        <translation>Connect/Disconnect</translation>
    </message>
    <message>
        <source>驱动器(&amp;D)</source>
        <translation>&amp;Drive</translation>
    </message>
    <message>
        <source>初始化/保存</source>
        <translation>Initialise/Save...</translation>
    </message>
    <message>
        <source>运行模式(&amp;M)</source>
        <translation>Operating &amp;Modes</translation>
    </message>
    <message>
        <source>错误(&amp;E)</source>
        <translation>&amp;Errors</translation>
    </message>
    <message>
        <source>总线配置(&amp;B)</source>
        <translation>&amp;Bus Configuration</translation>
    </message>
    <message>
        <source>工具(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>视图(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>工具栏</source>
        <translation>Toolbar</translation>
    </message>
    <message>
        <source>状态栏</source>
        <translation>Status Bar</translation>
    </message>
    <message>
        <source>语言切换</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>窗口(&amp;W)</source>
        <translation>&amp;Window</translation>
    </message>
    <message>
        <source>平铺</source>
        <translation>Tile</translation>
    </message>
    <message>
        <source>层叠</source>
        <translation>Cascade</translation>
    </message>
    <message>
        <source>下一个窗口</source>
        <translation>Next Window</translation>
    </message>
    <message>
        <source>上一个窗口</source>
        <translation>Previous Window</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>关于 Drivara</source>
        <translation>About Drivara</translation>
    </message>
    <message>
        <source>%1：此版本尚未提供</source>
        <translation>%1: not in this version yet</translation>
    </message>
</context>
<context>
    <name>CMessageBox</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CRealtimeError</name>
    <message>
        <source>错误状态字低16位</source>
        <translation>Error status word, low 16 bits</translation>
    </message>
    <message>
        <source>错误状态字高16位</source>
        <translation>Error status word, high 16 bits</translation>
    </message>
</context>
<context>
    <name>CSdoList</name>
    <message>
        <source>对象索引</source>
        <translation>Object Index</translation>
    </message>
    <message>
        <source>对象名字</source>
        <translation>Object Name</translation>
    </message>
    <message>
        <source>查找下一个</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>只显示可映射对象</source>
        <translation>Mappable only</translation>
    </message>
    <message>
        <source>排列方式</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>查找条件</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>筛选</source>
        <translation>Filter</translation>
    </message>
</context>
<context>
    <name>CDataInOut</name>
    <message>
        <source>功能</source>
        <translation>Function</translation>
    </message>
    <message>
        <source>仿真</source>
        <translation>Simulation</translation>
    </message>
    <message>
        <source>极性</source>
        <translation>Polarity</translation>
    </message>
    <message>
        <source>实际输入</source>
        <translation>Actual Input</translation>
    </message>
    <message>
        <source>虚拟状态</source>
        <translation>Virtual State</translation>
    </message>
    <message>
        <source>实际输出</source>
        <translation>Actual Output</translation>
    </message>
</context>
<context>
    <name>CFunctionDialog</name>
    <message>
        <source>列表</source>
        <translation>List</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
</context>
<context>
    <name>CPdoMappingEditor</name>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Store</translation>
    </message>
    <message>
        <source>映射</source>
        <translation>Mapping</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>位</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>%v / 64 位</source>
        <translation>%v / 64 bits</translation>
    </message>
    <message>
        <source>%1 / 64 位</source>
        <translation>%1 / 64 bits</translation>
    </message>
</context>
<context>
    <name>DesktopHabits</name>
    <message>
        <source>使用说明</source>
        <translation>User Manual</translation>
    </message>
    <message>
        <source>找不到使用说明：%1</source>
        <translation>The manual is not there: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation> or </translation>
    </message>
    <message>
        <source>桌面没有能打开 %1 的程序</source>
        <translation>The desktop has no program that opens %1</translation>
    </message>
</context>
<context>
    <name>CExportDrvData</name>
    <message>
        <source>导入数据</source>
        <translation>Load List</translation>
    </message>
    <message>
        <source>读数据</source>
        <translation>Read Data</translation>
    </message>
    <message>
        <source>保存结果</source>
        <translation>Save Result</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1（已取消）</source>
        <translation>%1 (cancelled)</translation>
    </message>
    <message>
        <source>%1（与驱动器的连接中断）</source>
        <translation>%1 (the link to the drive was lost)</translation>
    </message>
</context>
<context>
    <name>CImportDrvData</name>
    <message>
        <source>导入数据</source>
        <translation>Load File</translation>
    </message>
    <message>
        <source>写数据</source>
        <translation>Write Data</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Store Parameters</translation>
    </message>
    <message>
        <source>驱动器重启</source>
        <translation>Restart Drive</translation>
    </message>
    <message>
        <source>保存结果</source>
        <translation>Save Result</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1（已取消）</source>
        <translation>%1 (cancelled)</translation>
    </message>
    <message>
        <source>%1（与驱动器的连接中断）</source>
        <translation>%1 (the link to the drive was lost)</translation>
    </message>
    <message>
        <source>Finished. 参数未保存：%1</source>
        <translation>Finished. Not stored: %1</translation>
    </message>
    <message>
        <source>写入的数值尚未保存。未保存的数值在驱动器断电后丢失。
离开前保存参数吗？</source>
        <translation>Values written but not stored are lost when the drive is switched off.
Store the parameters before leaving?</translation>
    </message>
    <message>
        <source>不保存</source>
        <translation>Don&apos;t Store</translation>
    </message>
</context>
<context>
    <name>CDriverOscillo</name>
    <message>
        <source>采集周期(ms)</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>指针偏移</source>
        <translation>Pointer offset</translation>
    </message>
    <message>
        <source>采集个数</source>
        <translation>Samples</translation>
    </message>
    <message>
        <source>触发</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>手动触发</source>
        <translation>manual trigger</translation>
    </message>
    <message>
        <source>通 道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>刻度</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>偏移</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>单 位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>游标</source>
        <translation>Cursor</translation>
    </message>
    <message>
        <source>通道号</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>时间(%1)</source>
        <translation>Time(%1)</translation>
    </message>
    <message>
        <source>数据(%1)</source>
        <translation>Data(%1)</translation>
    </message>
    <message>
        <source>差值</source>
        <translation>Diff</translation>
    </message>
    <message>
        <source>开始采集</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>取消采集</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>重读数据</source>
        <translation>Read again</translation>
    </message>
    <message>
        <source>连续采集</source>
        <translation>Continuous</translation>
    </message>
    <message>
        <source>显示上次采集</source>
        <translation>Previous capture</translation>
    </message>
    <message>
        <source>处理完毕</source>
        <translation>finish</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>等待采集数据</source>
        <translation>wait to read data</translation>
    </message>
    <message>
        <source>读取数据</source>
        <translation>reading data</translation>
    </message>
    <message>
        <source>示波器</source>
        <translation>Oscilloscope</translation>
    </message>
    <message>
        <source>驱动器拒绝了采集（中止代码 0x%1）。</source>
        <translation>The drive refused the capture (abort code 0x%1).</translation>
    </message>
    <message>
        <source>驱动器没有应答，采集已停止。</source>
        <translation>The drive did not answer; the capture stopped.</translation>
    </message>
    <message>
        <source>记录长于 8 KiB（%1 字节），未显示。</source>
        <translation>The record is longer than 8 KiB (%1 bytes) and is not shown.</translation>
    </message>
</context>
</TS>
