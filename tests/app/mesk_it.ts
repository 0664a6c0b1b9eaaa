<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>TestStartupLanguage</name>
    <message>
        <source>Good morning</source>
        <translation>Buongiorno</translation>
    </message>
</context>
</TS>
