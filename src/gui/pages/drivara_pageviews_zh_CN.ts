<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CParamPageView</name>
    <message>
        <source>&quot;%1&quot; is not a number.</source>
        <translation>“%1”不是数字。</translation>
    </message>
    <message>
        <source>%1 %2 is out of range: the drive value would lie outside %3 to %4.</source>
        <translation>%1 %2 超出范围：驱动器中的值将超出 %3 至 %4。</translation>
    </message>
    <message>
        <source>%1 is out of range: %2 to %3.</source>
        <translation>%1 超出范围：%2 至 %3。</translation>
    </message>
    <message numerus="yes">
        <source>The text must have exactly %n character(s).</source>
        <translation>
            <numerusform>文本必须正好 %n 个字符。</numerusform>
        </translation>
    </message>
    <message>
        <source>Not current: the drive last answered at %1</source>
        <translation>不是当前值：驱动器最后一次应答于 %1</translation>
    </message>
    <message>
        <source>add</source>
        <translation>add</translation>
    </message>
    <message>
        <source>del</source>
        <translation>del</translation>
    </message>
    <message>
        <source>help</source>
        <translation>help</translation>
    </message>
</context>
</TS>
