<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>CFlickrSetupWidget</name>
    <message>
        <source>Ready</source>
        <extracomment>Button label</extracomment>
        <translation>Pronto</translation>
    </message>
</context>
</TS>
