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
</TS>
