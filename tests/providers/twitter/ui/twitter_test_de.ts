<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CTwitterSetupWidget</name>
    <message>
        <source>Ready</source>
        <extracomment>Button label</extracomment>
        <translation>Fertig</translation>
    </message>
</context>
<context>
    <name>CTwitterStatusWidget</name>
    <message>
        <source>Retweet</source>
        <extracomment>Button label</extracomment>
        <translation>Weiterleiten</translation>
    </message>
</context>
</TS>
