<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CBluetoothInterface</name>
    <message>
        <source>Wireless connection to %1 ended.</source>
        <translation>Funkverbindung zu %1 beendet.</translation>
    </message>
    <message>
        <source>Wireless device %1: %2 (error %3)</source>
        <translation>Funkgerät %1: %2 (Fehler %3)</translation>
    </message>
    <message>
        <source>Wireless device %1 offers no service with a writable and a notifying characteristic.</source>
        <translation>Funkgerät %1 bietet keinen Dienst mit einer beschreibbaren und einer meldenden Charakteristik.</translation>
    </message>
    <message>
        <source>An operation was attempted while the wireless service was not ready!</source>
        <translation>Eine Operation wurde versucht, während der Funkdienst nicht bereit war!</translation>
    </message>
    <message>
        <source>An attempt to write a new value to a characteristic failed!</source>
        <translation>Das Schreiben eines neuen Werts in eine Charakteristik ist fehlgeschlagen!</translation>
    </message>
    <message>
        <source>An attempt to write a new value to a descriptor failed!</source>
        <translation>Das Schreiben eines neuen Werts in einen Deskriptor ist fehlgeschlagen!</translation>
    </message>
    <message>
        <source>An unknown error occurred when interacting with the service!</source>
        <translation>Bei der Arbeit mit dem Dienst ist ein unbekannter Fehler aufgetreten!</translation>
    </message>
    <message>
        <source>An attempt to read a characteristic value failed!</source>
        <translation>Das Lesen eines Charakteristik-Werts ist fehlgeschlagen!</translation>
    </message>
    <message>
        <source>An attempt to read a descriptor value failed!</source>
        <translation>Das Lesen eines Deskriptor-Werts ist fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Wireless module: command packet without command ignored.</source>
        <translation>Funkmodul: Befehlspaket ohne Befehl ignoriert.</translation>
    </message>
    <message>
        <source>Wireless module: packet of unknown kind 0x%1 ignored.</source>
        <translation>Funkmodul: Paket unbekannter Art 0x%1 ignoriert.</translation>
    </message>
    <message>
        <source>No UART configuration of the wireless module matches the serial settings.</source>
        <translation>Keine UART-Konfiguration des Funkmoduls passt zu den seriellen Einstellungen.</translation>
    </message>
</context>
<context>
    <name>CDataBackend</name>
    <message>
        <source>Could not connect interface %1.</source>
        <translation>Schnittstelle %1 konnte nicht verbunden werden.</translation>
    </message>
    <message>
        <source>Interface %1 connected.</source>
        <translation>Schnittstelle %1 verbunden.</translation>
    </message>
    <message>
        <source>Interface %1 disconnected.</source>
        <translation>Schnittstelle %1 getrennt.</translation>
    </message>
    <message>
        <source>No valid device found!</source>
        <translation>Kein gültiges Gerät gefunden!</translation>
    </message>
    <message>
        <source>No valid device!</source>
        <translation>Kein gültiges Gerät!</translation>
    </message>
    <message>
        <source>A firmware update or boot loader identification is already running!</source>
        <translation>Ein Firmware-Update oder eine Bootloader-Identifikation läuft bereits!</translation>
    </message>
    <message>
        <source>Could not load plug-in %1: %2</source>
        <translation>Plug-in %1 konnte nicht geladen werden: %2</translation>
    </message>
    <message>
        <source>Device &apos;%1&apos; not supported!</source>
        <translation>Gerät &apos;%1&apos; wird nicht unterstützt!</translation>
    </message>
    <message>
        <source>Device with order number &apos;%1&apos; and parameter version &apos;%2&apos; not supported!</source>
        <translation>Gerät mit Bestellnummer &apos;%1&apos; und Parameterversion &apos;%2&apos; wird nicht unterstützt!</translation>
    </message>
    <message>
        <source>No device file with a matching parameter version for device with order number &apos;%1&apos; found! Device parameter version: &apos;%2&apos;!</source>
        <translation>Keine Gerätedatei mit passender Parameterversion für das Gerät mit Bestellnummer &apos;%1&apos; gefunden! Parameterversion des Geräts: &apos;%2&apos;!</translation>
    </message>
    <message>
        <source>More then one device file found! Use file with highest parameter version!</source>
        <translation>Mehr als eine Gerätedatei gefunden! Die Datei mit der höchsten Parameterversion wird verwendet!</translation>
    </message>
    <message>
        <source>Could not setup data model for device &apos;%1&apos;!</source>
        <translation>Das Datenmodell für Gerät &apos;%1&apos; konnte nicht erstellt werden!</translation>
    </message>
    <message>
        <source>Device &apos;%1&apos; %2.</source>
        <translation>Gerät &apos;%1&apos; %2.</translation>
    </message>
    <message>
        <source>selected</source>
        <translation>ausgewählt</translation>
    </message>
    <message>
        <source>found</source>
        <translation>gefunden</translation>
    </message>
    <message>
        <source>Something went wrong!
Device check without active device...</source>
        <translation>Etwas ist schiefgegangen!
Geräteprüfung ohne aktives Gerät...</translation>
    </message>
    <message>
        <source>Mismatch beetween selected device and read data.
Wrong device selected! (&apos;%1&apos; != &apos;%2&apos;)</source>
        <translation>Ausgewähltes Gerät und gelesene Daten passen nicht zusammen.
Falsches Gerät ausgewählt! (&apos;%1&apos; != &apos;%2&apos;)</translation>
    </message>
    <message>
        <source>Parameter version mismatch beetween selected device and read data!
(&apos;%1&apos; != &apos;%2&apos;)</source>
        <translation>Die Parameterversion des ausgewählten Geräts passt nicht zu den gelesenen Daten!
(&apos;%1&apos; != &apos;%2&apos;)</translation>
    </message>
    <message>
        <source>Could not connect nfc interface.</source>
        <translation>NFC-Schnittstelle konnte nicht verbunden werden.</translation>
    </message>
    <message>
        <source>Interface activated. Wait for device.</source>
        <translation>Schnittstelle aktiviert. Warte auf Gerät.</translation>
    </message>
    <message>
        <source>Could not configure interface %1!</source>
        <translation>Schnittstelle %1 konnte nicht konfiguriert werden!</translation>
    </message>
    <message>
        <source>Could not configure the wireless interface and establish device connection!</source>
        <translation>Die Funkschnittstelle konnte nicht konfiguriert und keine Verbindung zum Gerät hergestellt werden!</translation>
    </message>
    <message>
        <source>Configured interface %1 successfully.</source>
        <translation>Schnittstelle %1 erfolgreich konfiguriert.</translation>
    </message>
    <message>
        <source>Configured the wireless interface successfully. Reconnect the wireless module manually in the Windows settings menu!</source>
        <translation>Die Funkschnittstelle wurde erfolgreich konfiguriert. Verbinden Sie das Funkmodul im Windows-Einstellungsmenü manuell neu!</translation>
    </message>
    <message>
        <source>NFC interface deactivated.</source>
        <translation>NFC-Schnittstelle deaktiviert.</translation>
    </message>
</context>
<context>
    <name>CFirmwareImage</name>
    <message>
        <source>Could not open firmware file &apos;%1&apos;!</source>
        <translation>Firmware-Datei &apos;%1&apos; konnte nicht geöffnet werden!</translation>
    </message>
    <message>
        <source>Firmware file &apos;%1&apos; is not a valid image: %2</source>
        <translation>Firmware-Datei &apos;%1&apos; ist kein gültiges Abbild: %2</translation>
    </message>
    <message>
        <source>its %1 bytes are shorter than the %2-byte header</source>
        <translation>ihre %1 Bytes sind kürzer als der %2-Byte-Kopf</translation>
    </message>
    <message>
        <source>its check value 0x%1 does not match its content (0x%2)</source>
        <translation>ihr Prüfwert 0x%1 passt nicht zu ihrem Inhalt (0x%2)</translation>
    </message>
</context>
<context>
    <name>CFlasher</name>
    <message>
        <source>No firmware file given!</source>
        <translation>Keine Firmware-Datei angegeben!</translation>
    </message>
    <message>
        <source>Firmware update: answer without a running update dropped.</source>
        <translation>Firmware-Update: Antwort ohne laufendes Update verworfen.</translation>
    </message>
    <message>
        <source>Unexpected answer from the device!</source>
        <translation>Unerwartete Antwort vom Gerät!</translation>
    </message>
    <message>
        <source>The device is still in its boot loader after the update (%1)!</source>
        <translation>Das Gerät ist nach dem Update noch in seinem Bootloader (%1)!</translation>
    </message>
    <message>
        <source>The device reports &apos;%1&apos; after the update, expected &apos;%2&apos;!</source>
        <translation>Das Gerät meldet nach dem Update &apos;%1&apos;, erwartet war &apos;%2&apos;!</translation>
    </message>
    <message>
        <source>The boot loader did not accept the start of the transfer!</source>
        <translation>Der Bootloader hat den Beginn der Übertragung nicht angenommen!</translation>
    </message>
    <message>
        <source>The device did not confirm the block at offset %1!</source>
        <translation>Das Gerät hat den Block an Position %1 nicht bestätigt!</translation>
    </message>
    <message>
        <source>Firmware update: time-out without a step to wait for!</source>
        <translation>Firmware-Update: Zeitüberschreitung ohne einen Schritt, auf den gewartet wird!</translation>
    </message>
    <message>
        <source>The device did not identify itself!</source>
        <translation>Das Gerät hat sich nicht identifiziert!</translation>
    </message>
    <message>
        <source>The device did not start its boot loader!</source>
        <translation>Das Gerät hat seinen Bootloader nicht gestartet!</translation>
    </message>
    <message>
        <source>The application did not answer after the update!</source>
        <translation>Die Anwendung hat nach dem Update nicht geantwortet!</translation>
    </message>
    <message>
        <source>Firmware file &apos;%1&apos; is for device %2, the connected device is %3!</source>
        <translation>Firmware-Datei &apos;%1&apos; ist für Gerät %2, das verbundene Gerät ist %3!</translation>
    </message>
    <message>
        <source>The device asks for flash blocks of %1 bytes; one telegram carries 1 to %2!</source>
        <translation>Das Gerät verlangt Flash-Blöcke von %1 Bytes; ein Telegramm trägt 1 bis %2!</translation>
    </message>
    <message>
        <source>The image of %1 bytes needs block addresses beyond 0xFFFF!</source>
        <translation>Das Abbild von %1 Bytes braucht Blockadressen über 0xFFFF!</translation>
    </message>
</context>
<context>
    <name>CGlobals</name>
    <message>
        <source>Parameter version:</source>
        <translation>Parameterversion:</translation>
    </message>
    <message>
        <source>Order number:</source>
        <translation>Bestellnummer:</translation>
    </message>
</context>
<context>
    <name>CItem</name>
    <message>
        <source>dd.MM.yyyy hh:mm:ss,zzz</source>
        <translation>dd.MM.yyyy hh:mm:ss,zzz</translation>
    </message>
    <message>
        <source>dd.MM.yyyy hh:mm:ss</source>
        <translation>dd.MM.yyyy hh:mm:ss</translation>
    </message>
    <message>
        <source>hh:mm:ss,zzz</source>
        <translation>hh:mm:ss,zzz</translation>
    </message>
    <message>
        <source>hh:mm:ss</source>
        <translation>hh:mm:ss</translation>
    </message>
    <message>
        <source>dd.MM.yyyy</source>
        <translation>dd.MM.yyyy</translation>
    </message>
    <message>
        <source>A build date cannot be entered.</source>
        <translation>Ein Erstellungsdatum kann nicht eingegeben werden.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is neither %2 nor %3.</source>
        <translation>&apos;%1&apos; ist weder %2 noch %3.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is none of: %2.</source>
        <translation>&apos;%1&apos; ist keiner der Einträge: %2.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no date and time (%2).</source>
        <translation>&apos;%1&apos; ist kein Datum mit Uhrzeit (%2).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no time of day (hh:mm).</source>
        <translation>&apos;%1&apos; ist keine Uhrzeit (hh:mm).</translation>
    </message>
    <message>
        <source>%1 is not on a quarter hour.</source>
        <translation>%1 liegt nicht auf einer Viertelstunde.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a number.</source>
        <translation>&apos;%1&apos; ist keine Zahl.</translation>
    </message>
    <message>
        <source>This item holds no value of its own.</source>
        <translation>Dieser Eintrag hat keinen eigenen Wert.</translation>
    </message>
    <message>
        <source>There is no value.</source>
        <translation>Es gibt keinen Wert.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; holds characters the device cannot store (it stores Latin-1 only).</source>
        <translation>&apos;%1&apos; enthält Zeichen, die das Gerät nicht speichern kann (es speichert nur Latin-1).</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is longer than the %2 characters the device stores.</source>
        <translation>&apos;%1&apos; ist länger als die %2 Zeichen, die das Gerät speichert.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is no date and time.</source>
        <translation>&apos;%1&apos; ist kein Datum mit Uhrzeit.</translation>
    </message>
    <message>
        <source>%1 lies outside the years 1 to %2 that the device stores.</source>
        <translation>%1 liegt außerhalb der Jahre 1 bis %2, die das Gerät speichert.</translation>
    </message>
    <message>
        <source>%1 has milliseconds; the device stores whole seconds.</source>
        <translation>%1 hat Millisekunden; das Gerät speichert ganze Sekunden.</translation>
    </message>
    <message>
        <source>%1 is not a finite number.</source>
        <translation>%1 ist keine endliche Zahl.</translation>
    </message>
    <message>
        <source>%1 lies outside the range of a 32-bit floating-point number.</source>
        <translation>%1 liegt außerhalb des Bereichs einer 32-Bit-Gleitkommazahl.</translation>
    </message>
    <message>
        <source>%1 is not a multiple of %2.</source>
        <translation>%1 ist kein Vielfaches von %2.</translation>
    </message>
    <message>
        <source>%1 is not a whole number.</source>
        <translation>%1 ist keine ganze Zahl.</translation>
    </message>
    <message>
        <source>%1 is no entry of the list (0 to %2).</source>
        <translation>%1 ist kein Eintrag der Liste (0 bis %2).</translation>
    </message>
    <message>
        <source>%1 does not fit into %2 (%3 to %4).</source>
        <translation>%1 passt nicht in %2 (%3 bis %4).</translation>
    </message>
    <message>
        <source>%1 is below the minimum %2.</source>
        <translation>%1 liegt unter dem Minimum %2.</translation>
    </message>
    <message>
        <source>%1 is above the maximum %2.</source>
        <translation>%1 liegt über dem Maximum %2.</translation>
    </message>
    <message>
        <source>digital</source>
        <translation>digital</translation>
    </message>
    <message>
        <source>analog</source>
        <translation>analog</translation>
    </message>
    <message>
        <source>right</source>
        <translation>rechts</translation>
    </message>
    <message>
        <source>left</source>
        <translation>links</translation>
    </message>
    <message>
        <source>Time of day</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>M2 - M1</source>
        <translation>M2 - M1</translation>
    </message>
    <message>
        <source>M 2</source>
        <translation>M 2</translation>
    </message>
    <message>
        <source>M 1</source>
        <translation>M 1</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>Axis</source>
        <translation>Achse</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Bezeichnung</translation>
    </message>
    <message>
        <source>Info number</source>
        <translation>Infonummer</translation>
    </message>
</context>
<context>
    <name>CMessageSender</name>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>Device communication</source>
        <translation>Gerätekommunikation</translation>
    </message>
    <message>
        <source>Firmware Update</source>
        <translation>Firmware-Update</translation>
    </message>
    <message>
        <source>Data recording</source>
        <translation>Datenaufzeichnung</translation>
    </message>
    <message>
        <source>Reset Interface</source>
        <translation>Schnittstelle zurücksetzen</translation>
    </message>
    <message>
        <source>NFC Adapter</source>
        <translation>NFC-Adapter</translation>
    </message>
    <message>
        <source>NFC interface</source>
        <translation>NFC-Schnittstelle</translation>
    </message>
</context>
<context>
    <name>CModbusMaster</name>
    <message>
        <source>Start Firmware Update...</source>
        <translation>Firmware-Update starten...</translation>
    </message>
    <message>
        <source>Abort Firmware Update...</source>
        <translation>Firmware-Update abbrechen...</translation>
    </message>
    <message>
        <source>%1: Request refused! %2 bytes to read exceed the %3 bytes one telegram carries, Register %4</source>
        <translation>%1: Anfrage abgelehnt! %2 zu lesende Bytes übersteigen die %3 Bytes, die ein Telegramm trägt, Register %4</translation>
    </message>
    <message>
        <source>%1: Request refused! %2 bytes of data for %3 bytes to write, Register %4</source>
        <translation>%1: Anfrage abgelehnt! %2 Datenbytes für %3 zu schreibende Bytes, Register %4</translation>
    </message>
    <message>
        <source>%1: Request refused! %2 bytes to write are no whole registers within the %3 bytes one telegram carries, Register %4</source>
        <translation>%1: Anfrage abgelehnt! %2 zu schreibende Bytes sind keine ganzen Register innerhalb der %3 Bytes, die ein Telegramm trägt, Register %4</translation>
    </message>
    <message>
        <source>Answer without a pending request dropped.</source>
        <translation>Antwort ohne offene Anfrage verworfen.</translation>
    </message>
    <message>
        <source>Answer to an earlier request dropped.</source>
        <translation>Antwort auf eine frühere Anfrage verworfen.</translation>
    </message>
    <message>
        <source>%1: No valid answer from device!</source>
        <translation>%1: Keine gültige Antwort vom Gerät!</translation>
    </message>
    <message>
        <source>Exception code %1 (%2)</source>
        <translation>Ausnahmecode %1 (%2)</translation>
    </message>
    <message>
        <source>MEI Type %3, Exception code %1 (%2)</source>
        <translation>MEI-Typ %3, Ausnahmecode %1 (%2)</translation>
    </message>
    <message>
        <source>%1: Function denied! Function code %2, Register %3, %4</source>
        <translation>%1: Funktion abgelehnt! Funktionscode %2, Register %3, %4</translation>
    </message>
    <message>
        <source>%1: No answer from device (device address: %2)! Function code %3, Register %4</source>
        <translation>%1: Keine Antwort vom Gerät (Geräteadresse: %2)! Funktionscode %3, Register %4</translation>
    </message>
</context>
<context>
    <name>CNfcInterface</name>
    <message>
        <source>NFC interface is ready!</source>
        <translation>NFC-Schnittstelle ist bereit!</translation>
    </message>
    <message>
        <source>Device connected.</source>
        <translation>Gerät verbunden.</translation>
    </message>
    <message>
        <source>Device removed.</source>
        <translation>Gerät entfernt.</translation>
    </message>
</context>
<context>
    <name>CNfcMaster</name>
    <message>
        <source>%1: The tag left the field before the write was carried out!</source>
        <translation>%1: Der Tag hat das Feld verlassen, bevor das Schreiben ausgeführt wurde!</translation>
    </message>
    <message>
        <source>%1: Request refused! %2 bytes of data for %3 bytes to write, address %4</source>
        <translation>%1: Anfrage abgelehnt! %2 Bytes Daten für %3 zu schreibende Bytes, Adresse %4</translation>
    </message>
    <message>
        <source>%1: Request refused! Address %2 is not the start of a tag block</source>
        <translation>%1: Anfrage abgelehnt! Adresse %2 ist nicht der Anfang eines Tag-Blocks</translation>
    </message>
    <message>
        <source>%1: Request refused! %2 bytes from address %3 with their CRC run past the end of tag memory</source>
        <translation>%1: Anfrage abgelehnt! %2 Bytes ab Adresse %3 reichen mit ihrer CRC über das Ende des Tag-Speichers hinaus</translation>
    </message>
    <message>
        <source>%1: No answer from device!</source>
        <translation>%1: Keine Antwort vom Gerät!</translation>
    </message>
    <message>
        <source>Answer without a pending request dropped.</source>
        <translation>Antwort ohne offene Anfrage verworfen.</translation>
    </message>
    <message>
        <source>%1: No valid answer from device!</source>
        <translation>%1: Keine gültige Antwort vom Gerät!</translation>
    </message>
    <message>
        <source>%1: Scan for NFC device went wrong!</source>
        <translation>%1: Die Suche nach dem NFC-Gerät ist fehlgeschlagen!</translation>
    </message>
    <message>
        <source>%1: Function denied! Error code %2</source>
        <translation>%1: Funktion verweigert! Fehlercode %2</translation>
    </message>
</context>
<context>
    <name>CPCSCAdapter</name>
    <message>
        <source>No error was encountered.</source>
        <translation>Es ist kein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>An internal consistency check failed.</source>
        <translation>Eine interne Konsistenzprüfung ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>The action was cancelled by an SCardCancel request.</source>
        <translation>Die Aktion wurde durch eine SCardCancel-Anforderung abgebrochen.</translation>
    </message>
    <message>
        <source>The supplied handle was invalid.</source>
        <translation>Das übergebene Handle war ungültig.</translation>
    </message>
    <message>
        <source>One or more of the supplied parameters could not be properly interpreted.</source>
        <translation>Einer oder mehrere der übergebenen Parameter konnten nicht richtig interpretiert werden.</translation>
    </message>
    <message>
        <source>Registry startup information is missing or invalid.</source>
        <translation>Die Start-Informationen in der Registrierung fehlen oder sind ungültig.</translation>
    </message>
    <message>
        <source>Not enough memory available to complete this command.</source>
        <translation>Für diesen Befehl ist nicht genug Speicher verfügbar.</translation>
    </message>
    <message>
        <source>An internal consistency timer has expired.</source>
        <translation>Ein interner Konsistenz-Timer ist abgelaufen.</translation>
    </message>
    <message>
        <source>The data buffer to receive returned data is too small for the returned data.</source>
        <translation>Der Puffer für die zurückgegebenen Daten ist zu klein.</translation>
    </message>
    <message>
        <source>The specified reader name is not recognized.</source>
        <translation>Der angegebene Lesername ist unbekannt.</translation>
    </message>
    <message>
        <source>The user-specified timeout value has expired.</source>
        <translation>Die vom Benutzer angegebene Zeitüberschreitung ist abgelaufen.</translation>
    </message>
    <message>
        <source>The smart card cannot be accessed because of other connections outstanding.</source>
        <translation>Auf die Chipkarte kann wegen anderer offener Verbindungen nicht zugegriffen werden.</translation>
    </message>
    <message>
        <source>The operation requires a Smart Card, but no Smart Card is currently in the device.</source>
        <translation>Die Operation benötigt eine Chipkarte, aber im Gerät befindet sich derzeit keine.</translation>
    </message>
    <message>
        <source>The specified smart card name is not recognized.</source>
        <translation>Der angegebene Chipkartenname ist unbekannt.</translation>
    </message>
    <message>
        <source>The system could not dispose of the media in the requested manner.</source>
        <translation>Das System konnte das Medium nicht wie angefordert auswerfen.</translation>
    </message>
    <message>
        <source>The requested protocols are incompatible with the protocol currently in use with the smart card.</source>
        <translation>Die angeforderten Protokolle sind mit dem derzeit mit der Chipkarte verwendeten Protokoll nicht vereinbar.</translation>
    </message>
    <message>
        <source>The reader or smart card is not ready to accept commands.</source>
        <translation>Der Leser oder die Chipkarte ist nicht bereit, Befehle anzunehmen.</translation>
    </message>
    <message>
        <source>One or more of the supplied parameters values could not be properly interpreted.</source>
        <translation>Einer oder mehrere der übergebenen Parameterwerte konnten nicht richtig interpretiert werden.</translation>
    </message>
    <message>
        <source>The action was cancelled by the system, presumably to log off or shut down.</source>
        <translation>Die Aktion wurde vom System abgebrochen, vermutlich zum Abmelden oder Herunterfahren.</translation>
    </message>
    <message>
        <source>An internal communications error has been detected.</source>
        <translation>Ein interner Kommunikationsfehler wurde festgestellt.</translation>
    </message>
    <message>
        <source>An internal error has been detected, but the source is unknown.</source>
        <translation>Ein interner Fehler wurde festgestellt, seine Ursache ist unbekannt.</translation>
    </message>
    <message>
        <source>An ATR obtained from the registry is not a valid ATR string.</source>
        <translation>Ein aus der Registrierung gelesener ATR ist keine gültige ATR-Zeichenfolge.</translation>
    </message>
    <message>
        <source>An attempt was made to end a non-existent transaction.</source>
        <translation>Es wurde versucht, eine nicht bestehende Transaktion zu beenden.</translation>
    </message>
    <message>
        <source>The specified reader is not currently available for use.</source>
        <translation>Der angegebene Leser ist derzeit nicht verfügbar.</translation>
    </message>
    <message>
        <source>The operation has been aborted to allow the server application to exit.</source>
        <translation>Die Operation wurde abgebrochen, damit sich die Serveranwendung beenden kann.</translation>
    </message>
    <message>
        <source>The PCI Receive buffer was too small.</source>
        <translation>Der PCI-Empfangspuffer war zu klein.</translation>
    </message>
    <message>
        <source>The reader driver does not meet minimal requirements for support.</source>
        <translation>Der Lesertreiber erfüllt die Mindestanforderungen nicht.</translation>
    </message>
    <message>
        <source>The reader driver did not produce a unique reader name.</source>
        <translation>Der Lesertreiber hat keinen eindeutigen Lesernamen erzeugt.</translation>
    </message>
    <message>
        <source>The smart card does not meet minimal requirements for support.</source>
        <translation>Die Chipkarte erfüllt die Mindestanforderungen nicht.</translation>
    </message>
    <message>
        <source>The Smart card resource manager is not running.</source>
        <translation>Der Chipkarten-Ressourcenmanager läuft nicht.</translation>
    </message>
    <message>
        <source>The Smart card resource manager has shut down.</source>
        <translation>Der Chipkarten-Ressourcenmanager wurde beendet.</translation>
    </message>
    <message>
        <source>An unexpected card error has occurred.</source>
        <translation>Ein unerwarteter Kartenfehler ist aufgetreten.</translation>
    </message>
    <message>
        <source>No primary provider can be found for the smart card.</source>
        <translation>Für die Chipkarte wurde kein primärer Anbieter gefunden.</translation>
    </message>
    <message>
        <source>The requested order of object creation is not supported.</source>
        <translation>Die angeforderte Reihenfolge der Objekterzeugung wird nicht unterstützt.</translation>
    </message>
    <message>
        <source>This smart card does not support the requested feature.</source>
        <translation>Diese Chipkarte unterstützt die angeforderte Funktion nicht.</translation>
    </message>
    <message>
        <source>The identified directory does not exist in the smart card.</source>
        <translation>Das angegebene Verzeichnis gibt es auf der Chipkarte nicht.</translation>
    </message>
    <message>
        <source>The identified file does not exist in the smart card.</source>
        <translation>Die angegebene Datei gibt es auf der Chipkarte nicht.</translation>
    </message>
    <message>
        <source>The supplied path does not represent a smart card directory.</source>
        <translation>Der angegebene Pfad ist kein Verzeichnis der Chipkarte.</translation>
    </message>
    <message>
        <source>The supplied path does not represent a smart card file.</source>
        <translation>Der angegebene Pfad ist keine Datei der Chipkarte.</translation>
    </message>
    <message>
        <source>Access is denied to this file.</source>
        <translation>Der Zugriff auf diese Datei wird verweigert.</translation>
    </message>
    <message>
        <source>The smart card does not have enough memory to store the information.</source>
        <translation>Die Chipkarte hat nicht genug Speicher für diese Daten.</translation>
    </message>
    <message>
        <source>There was an error trying to set the smart card file object pointer.</source>
        <translation>Beim Setzen des Dateizeigers der Chipkarte ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>The supplied PIN is incorrect.</source>
        <translation>Die angegebene PIN ist falsch.</translation>
    </message>
    <message>
        <source>An unrecognized error code was returned from a layered component.</source>
        <translation>Eine darunterliegende Komponente hat einen unbekannten Fehlercode geliefert.</translation>
    </message>
    <message>
        <source>The requested certificate does not exist.</source>
        <translation>Das angeforderte Zertifikat existiert nicht.</translation>
    </message>
    <message>
        <source>The requested certificate could not be obtained.</source>
        <translation>Das angeforderte Zertifikat konnte nicht beschafft werden.</translation>
    </message>
    <message>
        <source>Cannot find a smart card reader.</source>
        <translation>Kein Chipkartenleser gefunden.</translation>
    </message>
    <message>
        <source>A communications error with the smart card has been detected. Retry the operation.</source>
        <translation>Ein Kommunikationsfehler mit der Chipkarte wurde festgestellt. Wiederholen Sie die Operation.</translation>
    </message>
    <message>
        <source>The requested key container does not exist on the smart card.</source>
        <translation>Der angeforderte Schlüsselcontainer existiert auf der Chipkarte nicht.</translation>
    </message>
    <message>
        <source>The Smart Card Resource Manager is too busy to complete this operation.</source>
        <translation>Der Chipkarten-Ressourcenmanager ist zu beschäftigt, um diese Operation auszuführen.</translation>
    </message>
    <message>
        <source>The reader cannot communicate with the card, due to ATR string configuration conflicts.</source>
        <translation>Der Leser kann wegen Konflikten in der ATR-Konfiguration nicht mit der Karte kommunizieren.</translation>
    </message>
    <message>
        <source>The smart card is not responding to a reset.</source>
        <translation>Die Chipkarte antwortet nicht auf einen Reset.</translation>
    </message>
    <message>
        <source>Power has been removed from the smart card, so that further communication is not possible.</source>
        <translation>Die Chipkarte ist ohne Strom, weitere Kommunikation ist nicht möglich.</translation>
    </message>
    <message>
        <source>The smart card has been reset, so any shared state information is invalid.</source>
        <translation>Die Chipkarte wurde zurückgesetzt, gemeinsame Zustandsinformationen sind ungültig.</translation>
    </message>
    <message>
        <source>The smart card has been removed, so further communication is not possible.</source>
        <translation>Die Chipkarte wurde entfernt, weitere Kommunikation ist nicht möglich.</translation>
    </message>
    <message>
        <source>Access was denied because of a security violation.</source>
        <translation>Der Zugriff wurde wegen einer Sicherheitsverletzung verweigert.</translation>
    </message>
    <message>
        <source>The card cannot be accessed because the wrong PIN was presented.</source>
        <translation>Auf die Karte kann nicht zugegriffen werden, weil eine falsche PIN angegeben wurde.</translation>
    </message>
    <message>
        <source>The card cannot be accessed because the maximum number of PIN entry attempts has been reached.</source>
        <translation>Auf die Karte kann nicht zugegriffen werden, weil die höchste Zahl von PIN-Eingaben erreicht ist.</translation>
    </message>
    <message>
        <source>The end of the smart card file has been reached.</source>
        <translation>Das Ende der Chipkartendatei ist erreicht.</translation>
    </message>
    <message>
        <source>The user pressed &quot;Cancel&quot; on a Smart Card Selection Dialog.</source>
        <translation>Der Benutzer hat im Chipkarten-Auswahldialog &quot;Abbrechen&quot; gedrückt.</translation>
    </message>
    <message>
        <source>No PIN was presented to the smart card.</source>
        <translation>Der Chipkarte wurde keine PIN angegeben.</translation>
    </message>
    <message>
        <source>Connect Reader failed!</source>
        <translation>Verbindung zum Leser fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Disconnect Reader failed!</source>
        <translation>Trennen vom Leser fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Activate Target failed!</source>
        <translation>Aktivieren des Ziels fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Read ATR failed!</source>
        <translation>Lesen des ATR fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Read UID failed!</source>
        <translation>Lesen der UID fehlgeschlagen!</translation>
    </message>
    <message>
        <source>Target activated via T=0 protocol</source>
        <translation>Ziel über das Protokoll T=0 aktiviert</translation>
    </message>
    <message>
        <source>Target activated via T=1 protocol</source>
        <translation>Ziel über das Protokoll T=1 aktiviert</translation>
    </message>
    <message>
        <source>ERROR: Active protocol unnegotiated or unknown!</source>
        <translation>FEHLER: Aktives Protokoll nicht ausgehandelt oder unbekannt!</translation>
    </message>
    <message>
        <source>Exchange Data failed!</source>
        <translation>Datenaustausch fehlgeschlagen!</translation>
    </message>
</context>
<context>
    <name>CParameterFile</name>
    <message>
        <source>&apos;%1&apos; holds a character that a parameter file cannot store.</source>
        <translation>&apos;%1&apos; enthält ein Zeichen, das eine Parameterdatei nicht speichern kann.</translation>
    </message>
    <message>
        <source>The parameter file could not be composed.</source>
        <translation>Die Parameterdatei konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Could not write &apos;%1&apos;: %2</source>
        <translation>&apos;%1&apos; konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Could not write a temporary parameter file: %1</source>
        <translation>Eine temporäre Parameterdatei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Customer:</source>
        <translation>Kunde:</translation>
    </message>
    <message>
        <source>Installer:</source>
        <translation>Installateur:</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>Gerät:</translation>
    </message>
    <message>
        <source>Order number:</source>
        <translation>Bestellnummer:</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>Seriennummer:</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Device name:</source>
        <translation>Gerätename:</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Datum:</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>Nummer</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>Bezeichnung</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>The parameter file belongs to %1 (order number %2), not to the connected %3 (order number %4).</source>
        <translation>Die Parameterdatei gehört zu %1 (Bestellnummer %2), nicht zum verbundenen %3 (Bestellnummer %4).</translation>
    </message>
</context>
<context>
    <name>CParameterValues</name>
    <message>
        <source>%1: the device has no such item.</source>
        <translation>%1: Das Gerät hat keinen solchen Eintrag.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 cannot be written.</source>
        <translation>%1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid value for %2: %3</source>
        <translation>&apos;%1&apos; ist kein gültiger Wert für %2: %3</translation>
    </message>
    <message>
        <source>The device has no item &apos;%1&apos;.</source>
        <translation>Das Gerät hat keinen Eintrag &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>The file holds no value of %1.</source>
        <translation>Die Datei enthält keinen Wert für %1.</translation>
    </message>
    <message>
        <source>Did you mean: %1?</source>
        <translation>Meinten Sie: %1?</translation>
    </message>
</context>
<context>
    <name>CProgramTableModel</name>
    <message>
        <source>Settings range min: 00:00
Settings range max: 24:00</source>
        <translation>Einstellbereich min: 00:00
Einstellbereich max: 24:00</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid value for %2 of %3.</source>
        <translation>&apos;%1&apos; ist kein gültiger Wert für %2 von %3.</translation>
    </message>
</context>
<context>
    <name>CProtocolMaster</name>
    <message>
        <source>Scan for Device...</source>
        <translation>Suche nach Gerät...</translation>
    </message>
    <message>
        <source>Read Device Info...</source>
        <translation>Geräteinformation lesen...</translation>
    </message>
    <message>
        <source>Read Device Identification...</source>
        <translation>Geräteidentifikation lesen...</translation>
    </message>
    <message>
        <source>Read Parameter...</source>
        <translation>Parameter lesen...</translation>
    </message>
    <message>
        <source>Read DateTime...</source>
        <translation>Datum und Uhrzeit lesen...</translation>
    </message>
    <message>
        <source>Read ErrorLog...</source>
        <translation>Fehlerspeicher lesen...</translation>
    </message>
    <message>
        <source>Read IO Mapping...</source>
        <translation>E/A-Zuordnung lesen...</translation>
    </message>
    <message>
        <source>Read Program...</source>
        <translation>Programm lesen...</translation>
    </message>
    <message>
        <source>Read Write Inbetriebnahmedaten...</source>
        <translation>Inbetriebnahmedaten lesen und schreiben...</translation>
    </message>
    <message>
        <source>Write Parameter...</source>
        <translation>Parameter schreiben...</translation>
    </message>
    <message>
        <source>Write DateTime...</source>
        <translation>Datum und Uhrzeit schreiben...</translation>
    </message>
    <message>
        <source>Clear ErrorLog...</source>
        <translation>Fehlerspeicher löschen...</translation>
    </message>
    <message>
        <source>Write IO Mapping...</source>
        <translation>E/A-Zuordnung schreiben...</translation>
    </message>
    <message>
        <source>Write Program...</source>
        <translation>Programm schreiben...</translation>
    </message>
    <message>
        <source>Go to Bootloader...</source>
        <translation>Wechsel in den Bootloader...</translation>
    </message>
    <message>
        <source>Go to Application...</source>
        <translation>Wechsel in die Anwendung...</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>Suche</translation>
    </message>
    <message>
        <source>Read DeviceInfo</source>
        <translation>Geräteinformation lesen</translation>
    </message>
    <message>
        <source>Read DeviceId</source>
        <translation>Gerätekennung lesen</translation>
    </message>
    <message>
        <source>Read Para</source>
        <translation>Parameter lesen</translation>
    </message>
    <message>
        <source>Read Process Data</source>
        <translation>Prozessdaten lesen</translation>
    </message>
    <message>
        <source>Read Generic</source>
        <translation>Allgemein lesen</translation>
    </message>
    <message>
        <source>Read DateTime</source>
        <translation>Datum und Uhrzeit lesen</translation>
    </message>
    <message>
        <source>Read ErrorLog</source>
        <translation>Fehlerspeicher lesen</translation>
    </message>
    <message>
        <source>Read IO Mapping</source>
        <translation>E/A-Zuordnung lesen</translation>
    </message>
    <message>
        <source>Read Program</source>
        <translation>Programm lesen</translation>
    </message>
    <message>
        <source>Read Device Record</source>
        <translation>Gerätedatensatz lesen</translation>
    </message>
    <message>
        <source>Read Write Inbetriebnahmedaten</source>
        <translation>Inbetriebnahmedaten lesen und schreiben</translation>
    </message>
    <message>
        <source>Read Write Generic</source>
        <translation>Allgemein lesen und schreiben</translation>
    </message>
    <message>
        <source>Write Para</source>
        <translation>Parameter schreiben</translation>
    </message>
    <message>
        <source>Write Generic</source>
        <translation>Allgemein schreiben</translation>
    </message>
    <message>
        <source>Write DateTime</source>
        <translation>Datum und Uhrzeit schreiben</translation>
    </message>
    <message>
        <source>Clear ErrorLog</source>
        <translation>Fehlerspeicher löschen</translation>
    </message>
    <message>
        <source>Write IO Mapping</source>
        <translation>E/A-Zuordnung schreiben</translation>
    </message>
    <message>
        <source>Write Program</source>
        <translation>Programm schreiben</translation>
    </message>
    <message>
        <source>Go to Bootloader</source>
        <translation>Wechsel in den Bootloader</translation>
    </message>
    <message>
        <source>Go to Application</source>
        <translation>Wechsel in die Anwendung</translation>
    </message>
    <message>
        <source>Firmware update</source>
        <translation>Firmware-Update</translation>
    </message>
</context>
<context>
    <name>CRecordFile</name>
    <message>
        <source>unnamed</source>
        <translation>unbenannt</translation>
    </message>
    <message>
        <source>Could not create file &apos;%1&apos;!</source>
        <translation>Datei &apos;%1&apos; konnte nicht angelegt werden!</translation>
    </message>
    <message>
        <source>File created: %1</source>
        <translation>Datei angelegt: %1</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Datum:</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>Gerät:</translation>
    </message>
    <message>
        <source>Process data version:</source>
        <translation>Prozessdatenversion:</translation>
    </message>
    <message>
        <source>File closed: %1</source>
        <translation>Datei geschlossen: %1</translation>
    </message>
    <message>
        <source>The file holds no caption line.</source>
        <translation>Die Datei enthält keine Überschriftenzeile.</translation>
    </message>
    <message>
        <source>The file holds no samples.</source>
        <translation>Die Datei enthält keine Messwerte.</translation>
    </message>
</context>
<context>
    <name>CSerialInterface</name>
    <message>
        <source>Serial port %1: %2</source>
        <translation>Serielle Schnittstelle %1: %2</translation>
    </message>
</context>
<context>
    <name>CTcpInterface</name>
    <message>
        <source>%1 is no TCP port (1 to %2).</source>
        <translation>%1 ist kein TCP-Port (1 bis %2).</translation>
    </message>
</context>
<context>
    <name>CTreeModel</name>
    <message>
        <source>Settings range min: %1
Settings range max: %2</source>
        <translation>Einstellbereich min: %1
Einstellbereich max: %2</translation>
    </message>
</context>
<context>
    <name>CUpdateProcess</name>
    <message>
        <source>Firmware file &apos;%1&apos; is not meant for the connected device %2 (device number %3)!</source>
        <translation>Firmware-Datei &apos;%1&apos; ist nicht für das verbundene Gerät %2 (Gerätenummer %3) bestimmt!</translation>
    </message>
    <message>
        <source>Could not find parameter of connected device!</source>
        <translation>Die Parameter des verbundenen Geräts wurden nicht gefunden!</translation>
    </message>
    <message>
        <source>Could not save parameter file &apos;%1&apos;!</source>
        <translation>Parameterdatei &apos;%1&apos; konnte nicht gespeichert werden!</translation>
    </message>
    <message>
        <source>Firmware update successfull.</source>
        <translation>Firmware-Update erfolgreich.</translation>
    </message>
    <message>
        <source>Firmware update aborted!</source>
        <translation>Firmware-Update abgebrochen!</translation>
    </message>
    <message>
        <source>Could not load temporary parameter!</source>
        <translation>Die zwischengespeicherten Parameter konnten nicht geladen werden!</translation>
    </message>
    <message>
        <source>Temporary stored parameter do not match to device &apos;%1&apos;! (&lt;%1&gt; != &lt;%2&gt;)</source>
        <translation>Die zwischengespeicherten Parameter passen nicht zu Gerät &apos;%1&apos;! (&lt;%1&gt; != &lt;%2&gt;)</translation>
    </message>
    <message>
        <source>Parameter version has changed! (&lt;%1&gt; != &lt;%2&gt;)</source>
        <translation>Die Parameterversion hat sich geändert! (&lt;%1&gt; != &lt;%2&gt;)</translation>
    </message>
    <message>
        <source>Temporary stored parameter do not fit the updated device; none was written back:
%1</source>
        <translation>Die zwischengespeicherten Parameter passen nicht zum aktualisierten Gerät; keiner wurde zurückgeschrieben:
%1</translation>
    </message>
    <message>
        <source>The parameters read before the update were not written back; they are kept in &apos;%1&apos;.</source>
        <translation>Die vor dem Update gelesenen Parameter wurden nicht zurückgeschrieben; sie sind in &apos;%1&apos; aufbewahrt.</translation>
    </message>
</context>
<context>
    <name>CXmlElementReader</name>
    <message>
        <source>The text ends inside a character.</source>
        <translation>Der Text endet mitten in einem Zeichen.</translation>
    </message>
    <message>
        <source>Elements are nested more than %1 deep at line %2; such a file is not read.</source>
        <translation>Die Elemente sind in Zeile %2 tiefer als %1 Ebenen verschachtelt; eine solche Datei wird nicht gelesen.</translation>
    </message>
    <message>
        <source>The XML is not well-formed at line %1: %2</source>
        <translation>Das XML ist in Zeile %1 nicht wohlgeformt: %2</translation>
    </message>
</context>
<context>
    <name>CXmlParser</name>
    <message>
        <source>The file cannot be read: %1.</source>
        <translation>Die Datei kann nicht gelesen werden: %1.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>This is not a device description; its root element is not %1.</source>
        <translation>Dies ist keine Gerätebeschreibung; ihr Wurzelelement ist nicht %1.</translation>
    </message>
    <message>
        <source>Its parameter-table version &quot;%1&quot; is not supported by this version of the application.</source>
        <translation>Ihre Parametertabellen-Version &quot;%1&quot; wird von dieser Version der Anwendung nicht unterstützt.</translation>
    </message>
    <message>
        <source>It names no device; its name or its order number is missing.</source>
        <translation>Sie nennt kein Gerät; ihr Name oder ihre Bestellnummer fehlt.</translation>
    </message>
    <message>
        <source>It has no check bytes; it was not sealed.</source>
        <translation>Sie hat keine Prüfbytes; sie wurde nicht versiegelt.</translation>
    </message>
    <message>
        <source>Its check bytes do not match its content; it was changed after it was sealed.</source>
        <translation>Ihre Prüfbytes passen nicht zu ihrem Inhalt; sie wurde nach dem Versiegeln geändert.</translation>
    </message>
</context>
</TS>
