<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AtomicFile</name>
    <message>
        <source>%1/%2 is a symbolic link</source>
        <translation>%1/%2 ist eine symbolische Verknüpfung</translation>
    </message>
    <message>
        <source>%1/%2 is not a regular file</source>
        <translation>%1/%2 ist keine reguläre Datei</translation>
    </message>
</context>
<context>
    <name>CheckedData</name>
    <message>
        <source>a component&apos;s data is cut short</source>
        <translation>die Daten einer Komponente sind abgeschnitten</translation>
    </message>
    <message>
        <source>it cannot be read: %1</source>
        <translation>es kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The update image changed after it was checked: %1.</source>
        <translation>Das Update-Abbild hat sich nach seiner Prüfung verändert: %1.</translation>
    </message>
    <message>
        <source>Not enough memory to update the flash.</source>
        <translation>Nicht genug Arbeitsspeicher, um den Flash-Speicher zu aktualisieren.</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>y</source>
        <comment>the short answer yes</comment>
        <translation>j</translation>
    </message>
    <message>
        <source>yes</source>
        <comment>the answer yes</comment>
        <translation>ja</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <source>The update failed</source>
        <translation>Die Aktualisierung ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>The update has ended</source>
        <translation>Die Aktualisierung ist beendet</translation>
    </message>
</context>
<context>
    <name>FlashCommand</name>
    <message>
        <source>The VORLAN driver cannot be reached through %1. %2</source>
        <translation>Der VORLAN-Treiber ist über %1 nicht erreichbar. %2</translation>
    </message>
    <message>
        <source>HW timestamp: %1</source>
        <translation>HW-Zeitstempel: %1</translation>
    </message>
    <message>
        <source>SW version: %1</source>
        <translation>SW-Version: %1</translation>
    </message>
    <message>
        <source>PID version: %1</source>
        <translation>PID-Version: %1</translation>
    </message>
    <message>
        <source>%1  %2 bytes  %3</source>
        <translation>%1  %2 Bytes  %3</translation>
    </message>
    <message>
        <source>No copy of the flash has been saved in %1.</source>
        <translation>In %1 wurde keine Kopie des Flash-Speichers gesichert.</translation>
    </message>
    <message>
        <source>The flash was not changed: there is nothing that can be put back.</source>
        <translation>Der Flash-Speicher wurde nicht verändert: Es gibt nichts, was zurückgespielt werden kann.</translation>
    </message>
    <message>
        <source>The flash was not changed: the update was not confirmed.</source>
        <translation>Der Flash-Speicher wurde nicht verändert: Die Aktualisierung wurde nicht bestätigt.</translation>
    </message>
    <message>
        <source>The flash was not changed: the update could not start.</source>
        <translation>Der Flash-Speicher wurde nicht verändert: Die Aktualisierung konnte nicht beginnen.</translation>
    </message>
    <message>
        <source>%1 [y/N]</source>
        <translation>%1 [j/N]</translation>
    </message>
    <message>
        <source>Add --no-copy to update without a copy.</source>
        <translation>Geben Sie --no-copy an, um ohne Kopie zu aktualisieren.</translation>
    </message>
    <message>
        <source>With --json, add --yes: no question is asked. The flash was not changed.</source>
        <translation>Geben Sie mit --json auch --yes an: Es wird nicht nachgefragt. Der Flash-Speicher wurde nicht verändert.</translation>
    </message>
    <message>
        <source>There is no terminal to ask on: add --yes to update without the question. The flash was not changed.</source>
        <translation>Es gibt kein Terminal für die Nachfrage: Geben Sie --yes an, um ohne Nachfrage zu aktualisieren. Der Flash-Speicher wurde nicht verändert.</translation>
    </message>
    <message>
        <source>Update the flash with this component? [y/N]</source>
        <translation>Den Flash-Speicher mit dieser Komponente aktualisieren? [j/N]</translation>
    </message>
    <message numerus="yes">
        <source>Update the flash with these %n components? [y/N]</source>
        <translation>
            <numerusform>Den Flash-Speicher mit dieser %n Komponente aktualisieren? [j/N]</numerusform>
            <numerusform>Den Flash-Speicher mit diesen %n Komponenten aktualisieren? [j/N]</numerusform>
        </translation>
    </message>
    <message>
        <source>To put it back: vorlan-flash restore</source>
        <translation>Zum Zurückspielen: vorlan-flash restore</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Min HW</source>
        <translation>Min. HW</translation>
    </message>
    <message>
        <source>%1: 1 component</source>
        <translation>%1: 1 Komponente</translation>
    </message>
    <message numerus="yes">
        <source>%1: %n components</source>
        <translation>
            <numerusform>%1: %n Komponente</numerusform>
            <numerusform>%1: %n Komponenten</numerusform>
        </translation>
    </message>
    <message>
        <source>The flash already holds this image.</source>
        <translation>Der Flash-Speicher enthält dieses Abbild bereits.</translation>
    </message>
    <message>
        <source>Component %1 at %2 matches the image.</source>
        <translation>Komponente %1 bei %2 stimmt mit dem Abbild überein.</translation>
    </message>
    <message>
        <source>Component %1 at %2 differs from the image at %3.</source>
        <translation>Komponente %1 bei %2 weicht bei %3 vom Abbild ab.</translation>
    </message>
    <message>
        <source>An update would take this image.</source>
        <translation>Eine Aktualisierung würde dieses Abbild annehmen.</translation>
    </message>
    <message>
        <source>An update would refuse this image: %1</source>
        <translation>Eine Aktualisierung würde dieses Abbild ablehnen: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) of the history in %1 could not be read: cut short by a crash, or damaged.</source>
        <translation>
            <numerusform>%n Zeile des Verlaufs in %1 konnte nicht gelesen werden: von einem Absturz abgeschnitten oder beschädigt.</numerusform>
            <numerusform>%n Zeilen des Verlaufs in %1 konnten nicht gelesen werden: von einem Absturz abgeschnitten oder beschädigt.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1  %2 %3  %4  by %5 (uid %6)</source>
        <translation>%1  %2 %3  %4  von %5 (UID %6)</translation>
    </message>
    <message>
        <source>The history in %1 is empty.</source>
        <translation>Der Verlauf in %1 ist leer.</translation>
    </message>
    <message>
        <source>Another program is updating the flash. Do not restart the computer before it has finished.</source>
        <translation>Ein anderes Programm aktualisiert den Flash-Speicher. Starten Sie den Computer nicht neu, bevor es fertig ist.</translation>
    </message>
    <message>
        <source>To put back a copy that you choose: vorlan-flash restore COPY (vorlan-flash copies lists them). Once the flash holds a complete image: vorlan-flash clear-damaged IMAGE</source>
        <translation>Um eine Kopie Ihrer Wahl zurückzuspielen: vorlan-flash restore KOPIE (vorlan-flash copies listet sie auf). Sobald der Flash-Speicher ein vollständiges Abbild enthält: vorlan-flash clear-damaged ABBILD</translation>
    </message>
    <message>
        <source>The flash was not changed.</source>
        <translation>Der Flash-Speicher wurde nicht verändert.</translation>
    </message>
    <message>
        <source>The damaged record was not cleared.</source>
        <translation>Die beschädigte Aufzeichnung wurde nicht verworfen.</translation>
    </message>
</context>
<context>
    <name>FlashCopies</name>
    <message>
        <source>The copy %1 has changed since it was saved.</source>
        <translation>Die Kopie %1 hat sich verändert, seit sie gesichert wurde.</translation>
    </message>
</context>
<context>
    <name>FlashHistory</name>
    <message>
        <source>update</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <source>put back</source>
        <translation>Zurückspielen</translation>
    </message>
    <message>
        <source>restore</source>
        <translation>Wiederherstellung</translation>
    </message>
    <message>
        <source>verify</source>
        <translation>Prüfung</translation>
    </message>
    <message>
        <source>written</source>
        <translation>geschrieben</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>unverändert</translation>
    </message>
    <message>
        <source>matches</source>
        <translation>stimmt überein</translation>
    </message>
    <message>
        <source>differs</source>
        <translation>weicht ab</translation>
    </message>
    <message>
        <source>unfinished</source>
        <translation>nicht abgeschlossen</translation>
    </message>
    <message>
        <source>The history cannot be read: %1.</source>
        <translation>Der Verlauf kann nicht gelesen werden: %1.</translation>
    </message>
</context>
<context>
    <name>FlashJournal</name>
    <message>
        <source>an unknown image</source>
        <translation>ein unbekanntes Abbild</translation>
    </message>
    <message>
        <source>at an unknown time</source>
        <translation>zu unbekannter Zeit</translation>
    </message>
    <message>
        <source>the last update (%1, started %2)</source>
        <translation>die letzte Aktualisierung (%1, begonnen %2)</translation>
    </message>
    <message>
        <source>Another program is updating the flash now (process %1). Do not restart the computer before it has finished.</source>
        <translation>Ein anderes Programm aktualisiert gerade den Flash-Speicher (Prozess %1). Starten Sie den Computer nicht neu, bevor es fertig ist.</translation>
    </message>
    <message>
        <source> Copies of the flash as it was before are in %1.</source>
        <translation> Kopien des vorherigen Stands des Flash-Speichers liegen in %1.</translation>
    </message>
    <message>
        <source> A copy of the flash as it was before is in %1.</source>
        <translation> Eine Kopie des vorherigen Stands des Flash-Speichers liegt in %1.</translation>
    </message>
    <message>
        <source> No copy holds the flash at %1.</source>
        <translation> Keine Kopie enthält den Flash-Speicher bei %1.</translation>
    </message>
    <message>
        <source>since the update that failed at component %1</source>
        <translation>seit der Aktualisierung, die bei Komponente %1 fehlschlug</translation>
    </message>
    <message>
        <source>since %1 did not finish</source>
        <translation>seit %1 nicht abgeschlossen wurde</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <comment>a run of flash addresses</comment>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>it cannot be removed from %1</source>
        <translation>sie kann nicht aus %1 entfernt werden</translation>
    </message>
    <message>
        <source>kept as %1</source>
        <translation>aufbewahrt als %1</translation>
    </message>
    <message>
        <source>the damaged record %1 cannot be set aside: %2</source>
        <translation>die beschädigte Aufzeichnung %1 kann nicht beiseitegelegt werden: %2</translation>
    </message>
    <message numerus="yes">
        <source>the first of %n unfinished updates (%1, started %2)</source>
        <translation>
            <numerusform>die erste von %n nicht abgeschlossenen Aktualisierung (%1, begonnen %2)</numerusform>
            <numerusform>die erste von %n nicht abgeschlossenen Aktualisierungen (%1, begonnen %2)</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 did not finish: the flash may not hold a complete image. Update again, or put back the pages that it left at risk as they were, before restarting the computer.</source>
        <translation>%1 wurde nicht abgeschlossen: Der Flash-Speicher enthält möglicherweise kein vollständiges Abbild. Aktualisieren Sie erneut oder spielen Sie die Seiten, die sie gefährdet zurückließ, auf ihren vorherigen Stand zurück, bevor Sie den Computer neu starten.</translation>
    </message>
    <message>
        <source>%1 cannot be renamed: %2</source>
        <translation>%1 kann nicht umbenannt werden: %2</translation>
    </message>
    <message>
        <source>The record of an earlier update is damaged (%1), so the tool cannot tell whether pages of the flash are at risk. Put back a copy of the flash that you choose, or update with a complete image, and once the flash holds it clear the damaged record (vorlan-flash clear-damaged IMAGE, or Clear Damaged Record in the window), before restarting the computer.</source>
        <translation>Die Aufzeichnung einer früheren Aktualisierung ist beschädigt (%1), daher kann das Programm nicht erkennen, ob Seiten des Flash-Speichers gefährdet sind. Spielen Sie eine Kopie des Flash-Speichers Ihrer Wahl zurück, oder aktualisieren Sie mit einem vollständigen Abbild und verwerfen Sie die beschädigte Aufzeichnung, sobald der Flash-Speicher es enthält (vorlan-flash clear-damaged ABBILD, oder „Beschädigte Aufzeichnung verwerfen“ im Fenster), bevor Sie den Computer neu starten.</translation>
    </message>
</context>
<context>
    <name>FlashNode</name>
    <message>
        <source>The flash memory is being updated by another program.</source>
        <translation>Der Flash-Speicher wird gerade von einem anderen Programm aktualisiert.</translation>
    </message>
    <message>
        <source>Error locking %1: %2</source>
        <translation>Fehler beim Sperren von %1: %2</translation>
    </message>
</context>
<context>
    <name>FlashVerifier</name>
    <message>
        <source>a component&apos;s data is cut short</source>
        <translation>die Daten einer Komponente sind abgeschnitten</translation>
    </message>
    <message>
        <source>The flash holds this image: every component matches.</source>
        <translation>Der Flash-Speicher enthält dieses Abbild: Jede Komponente stimmt überein.</translation>
    </message>
    <message>
        <source>The flash does not hold this image: component %1 differs.</source>
        <translation>Der Flash-Speicher enthält dieses Abbild nicht: Komponente %1 weicht ab.</translation>
    </message>
    <message>
        <source>The flash does not hold this image: %1 of %2 components differ, the first of them %3.</source>
        <translation>Der Flash-Speicher enthält dieses Abbild nicht: %1 von %2 Komponenten weichen ab, die erste davon %3.</translation>
    </message>
    <message>
        <source>The flash was not compared with this image: another program is updating it. Do not restart the computer before that program has finished.</source>
        <translation>Der Flash-Speicher wurde nicht mit diesem Abbild verglichen: Ein anderes Programm aktualisiert ihn gerade. Starten Sie den Computer nicht neu, bevor dieses Programm fertig ist.</translation>
    </message>
    <message>
        <source>The flash was not compared with this image.</source>
        <translation>Der Flash-Speicher wurde nicht mit diesem Abbild verglichen.</translation>
    </message>
    <message>
        <source>The update image changed after it was checked: %1.</source>
        <translation>Das Update-Abbild hat sich nach seiner Prüfung verändert: %1.</translation>
    </message>
</context>
<context>
    <name>HistoryDialog</name>
    <message>
        <source>History of the Flash</source>
        <translation>Verlauf des Flash-Speichers</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Begonnen</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Vorgang</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>User</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>Image</source>
        <translation>Abbild</translation>
    </message>
    <message>
        <source>&amp;Details:</source>
        <translation>&amp;Einzelheiten:</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Einzelheiten</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>The history in %1 is empty.</source>
        <translation>Der Verlauf in %1 ist leer.</translation>
    </message>
    <message>
        <source>Every update, put-back and verify of the flash, newest first, from %1.</source>
        <translation>Jede Aktualisierung, jedes Zurückspielen und jede Prüfung des Flash-Speichers, die neueste zuerst, aus %1.</translation>
    </message>
    <message numerus="yes">
        <source>%n line(s) could not be read: cut short by a crash, or damaged.</source>
        <translation>
            <numerusform>%n Zeile konnte nicht gelesen werden: von einem Absturz abgeschnitten oder beschädigt.</numerusform>
            <numerusform>%n Zeilen konnten nicht gelesen werden: von einem Absturz abgeschnitten oder beschädigt.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 by %2 (uid %3) with %4, started %5.</source>
        <translation>%1 durch %2 (UID %3) mit %4, begonnen %5.</translation>
    </message>
    <message>
        <source>the window</source>
        <translation>dem Fenster</translation>
    </message>
    <message>
        <source>Ended %1: %2.</source>
        <translation>Beendet %1: %2.</translation>
    </message>
    <message>
        <source>Its end was never recorded: the run was killed, crashed, or the power went.</source>
        <translation>Sein Ende wurde nie aufgezeichnet: Der Lauf wurde beendet, ist abgestürzt, oder der Strom fiel aus.</translation>
    </message>
    <message>
        <source>Image: %1</source>
        <translation>Abbild: %1</translation>
    </message>
    <message>
        <source>SHA-256: %1</source>
        <translation>SHA-256: %1</translation>
    </message>
    <message>
        <source>%1, version %2, at 0x%3, %4 bytes</source>
        <translation>%1, Version %2, bei 0x%3, %4 Bytes</translation>
    </message>
    <message>
        <source>(without a name)</source>
        <translation>(ohne Namen)</translation>
    </message>
    <message>
        <source>A copy of the flash as it was before is in %1.</source>
        <translation>Eine Kopie des vorherigen Stands des Flash-Speichers liegt in %1.</translation>
    </message>
</context>
<context>
    <name>ImageChecks</name>
    <message>
        <source>Components at 0x%1 and 0x%2 share a flash page.</source>
        <translation>Die Komponenten bei 0x%1 und 0x%2 teilen sich eine Flash-Seite.</translation>
    </message>
    <message>
        <source>Error reading update image %1: %2</source>
        <translation>Fehler beim Lesen des Update-Abbilds %1: %2</translation>
    </message>
    <message>
        <source>a block is shorter than its %1-byte header</source>
        <translation>ein Block ist kürzer als sein %1 Byte langer Kopf</translation>
    </message>
    <message>
        <source>Component at 0x%1 is too large.</source>
        <translation>Die Komponente bei 0x%1 ist zu groß.</translation>
    </message>
    <message>
        <source>Component at 0x%1 runs past the end of the flash address space.</source>
        <translation>Die Komponente bei 0x%1 reicht über das Ende des Flash-Adressraums hinaus.</translation>
    </message>
    <message>
        <source>Component at 0x%1 does not start on a flash page.</source>
        <translation>Die Komponente bei 0x%1 beginnt nicht an einer Flash-Seite.</translation>
    </message>
</context>
<context>
    <name>ImageDigest</name>
    <message>
        <source>it cannot be read</source>
        <translation>sie kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>it is larger than %1 KiB, which no detached signature is</source>
        <translation>sie ist größer als %1 KiB, was keine abgetrennte Signatur ist</translation>
    </message>
    <message>
        <source>a component&apos;s data is cut short</source>
        <translation>die Daten einer Komponente sind abgeschnitten</translation>
    </message>
    <message>
        <source>it cannot be read: %1</source>
        <translation>es kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The copy of the flash %1 cannot be checked: no SHA-256 was kept for it.</source>
        <translation>Die Kopie des Flash-Speichers %1 kann nicht geprüft werden: Für sie wurde keine SHA-256 aufbewahrt.</translation>
    </message>
    <message>
        <source>The SHA-256 of the update image %1 is %2, not the expected %3.</source>
        <translation>Die SHA-256 des Update-Abbilds %1 ist %2, nicht die erwartete %3.</translation>
    </message>
    <message>
        <source>The update image %1 is not signed (there is no %1.sig or %1.asc), and %2.</source>
        <translation>Das Update-Abbild %1 ist nicht signiert (es gibt weder %1.sig noch %1.asc), und %2.</translation>
    </message>
    <message>
        <source>The update image %1 is signed by a key that is not trusted (…%2). Trusted keys are those in %3/keyrings and %4/keyrings.</source>
        <translation>Das Update-Abbild %1 ist mit einem nicht vertrauenswürdigen Schlüssel signiert (…%2). Vertrauenswürdig sind die Schlüssel in %3/keyrings und %4/keyrings.</translation>
    </message>
    <message>
        <source>The update image %1 is signed by a key that has expired or been revoked (%2, key …%3).</source>
        <translation>Das Update-Abbild %1 ist mit einem abgelaufenen oder widerrufenen Schlüssel signiert (%2, Schlüssel …%3).</translation>
    </message>
    <message>
        <source>The signature %1 of the update image %2 cannot be checked: %3.</source>
        <translation>Die Signatur %1 des Update-Abbilds %2 kann nicht geprüft werden: %3.</translation>
    </message>
    <message>
        <source>The signature %1 does not match the update image %2.</source>
        <translation>Die Signatur %1 passt nicht zum Update-Abbild %2.</translation>
    </message>
    <message>
        <source>The update image %1 changed while it was checked.</source>
        <translation>Das Update-Abbild %1 hat sich während der Prüfung verändert.</translation>
    </message>
</context>
<context>
    <name>ImageInfoDialog</name>
    <message>
        <source>Image info</source>
        <translation>Abbild-Informationen</translation>
    </message>
    <message>
        <source>Filename: </source>
        <translation>Dateiname: </translation>
    </message>
    <message>
        <source>SHA-256: %1</source>
        <translation>SHA-256: %1</translation>
    </message>
    <message>
        <source>Components</source>
        <translation>Komponenten</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>%1, version %2, at %3, %4 bytes, for hardware %5 and later</source>
        <translation>%1, Version %2, bei %3, %4 Bytes, für Hardware ab %5</translation>
    </message>
</context>
<context>
    <name>ImageItem</name>
    <message>
        <source>Form</source>
        <translation>Formular</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Min HW:</source>
        <translation>Min. HW:</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Adresse:</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Größe:</translation>
    </message>
</context>
<context>
    <name>ImageReader</name>
    <message>
        <source>it cannot be read: %1</source>
        <translation>es kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>it has more than %1 components</source>
        <translation>es hat mehr als %1 Komponenten</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>es ist leer</translation>
    </message>
    <message>
        <source>a component header is cut short</source>
        <translation>ein Komponentenkopf ist abgeschnitten</translation>
    </message>
    <message>
        <source>the chain of blocks leaves the file</source>
        <translation>die Kette der Blöcke führt aus der Datei hinaus</translation>
    </message>
    <message>
        <source>it does not exist</source>
        <translation>es existiert nicht</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>it is larger than 4 GiB</source>
        <translation>es ist größer als 4 GiB</translation>
    </message>
</context>
<context>
    <name>ImageWriter</name>
    <message>
        <source>An update image needs at least one component.</source>
        <translation>Ein Update-Abbild braucht mindestens eine Komponente.</translation>
    </message>
    <message>
        <source>The name &quot;%1&quot; is longer than four bytes.</source>
        <translation>Der Name „%1“ ist länger als vier Bytes.</translation>
    </message>
    <message>
        <source>The image would be 4 GiB or larger; offsets are 32-bit.</source>
        <translation>Das Abbild wäre 4 GiB oder größer; Offsets haben 32 Bit.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>InterruptGuard</name>
    <message>
        <source>The tool could not protect the update against signals: %1.</source>
        <translation>Das Programm konnte die Aktualisierung nicht gegen Signale schützen: %1.</translation>
    </message>
</context>
<context>
    <name>Invocation</name>
    <message>
        <source>No command given.</source>
        <translation>Kein Befehl angegeben.</translation>
    </message>
    <message>
        <source>Unknown command &quot;%1&quot;.</source>
        <translation>Unbekannter Befehl „%1“.</translation>
    </message>
    <message>
        <source>Wrong number of arguments for %1.</source>
        <translation>Falsche Anzahl von Argumenten für %1.</translation>
    </message>
    <message>
        <source>--no-copy applies to update only.</source>
        <translation>--no-copy gilt nur für update.</translation>
    </message>
    <message>
        <source>--if-needed applies to update only.</source>
        <translation>--if-needed gilt nur für update.</translation>
    </message>
    <message>
        <source>--sha256 takes the 64 hexadecimal digits of a SHA-256.</source>
        <translation>--sha256 erwartet die 64 Hexadezimalziffern einer SHA-256.</translation>
    </message>
    <message>
        <source>-n applies to history only.</source>
        <translation>-n gilt nur für history.</translation>
    </message>
    <message>
        <source>-n takes a number of entries, 1 or more.</source>
        <translation>-n erwartet eine Anzahl von Einträgen, 1 oder mehr.</translation>
    </message>
    <message>
        <source>--yes applies to update, restore and clear-damaged only.</source>
        <translation>--yes gilt nur für update, restore und clear-damaged.</translation>
    </message>
    <message>
        <source>--sha256 applies to info, update, verify and clear-damaged only.</source>
        <translation>--sha256 gilt nur für info, update, verify und clear-damaged.</translation>
    </message>
    <message>
        <source>Usage: vorlan-flash [--json] COMMAND [ARGUMENTS]
Updates the flash memory of a VORLAN system through the VORLAN kernel driver.

Commands:
  versions                          the installed HW timestamp, SW and PID version
  info IMAGE [--sha256 HEX]         the image&apos;s components, signature and SHA-256,
                                    and whether an update would take it
  update IMAGE [--yes] [--no-copy] [--if-needed] [--sha256 HEX]
                                    program the image into the flash, after a copy
                                    of the pages it erases
  verify IMAGE [--sha256 HEX]       whether the flash holds the image; it only
                                    reads the flash
  restore [COPY] [--yes]            put back a copy of the flash (the newest one
                                    by default)
  copies                            the saved copies of the flash, newest first
  clear-damaged IMAGE [--yes] [--sha256 HEX]
                                    after a damaged record: once the flash holds
                                    the complete IMAGE, stop counting the record
                                    (its file stays)
  history [-n N]                    every update, put-back and verify of the flash,
                                    newest first (the newest N)

Options:
  --yes         update without asking; needed without a terminal and with --json
  --no-copy     update without saving a copy of the flash first
  --if-needed   update only when the flash does not hold the image already
  --sha256 HEX  refuse an image whose SHA-256 is another (the published one)
  -n N          history: only the newest N entries
  --json        one JSON object a line on standard output
  -h, --help    this help
  --version     the program&apos;s version

Exit status: 0 the flash holds the image (or a query succeeded), 1 the update
failed and the flash does not hold a complete image, 2 refused with the flash
unchanged (also for a refused signature or SHA-256), 3 the driver cannot be
reached, 4 another program is updating the flash, 64 wrong usage. With verify,
1 says that the flash does not hold the image.
</source>
        <translation>Aufruf: vorlan-flash [--json] BEFEHL [ARGUMENTE]
Aktualisiert den Flash-Speicher eines VORLAN-Systems über den
VORLAN-Kerneltreiber.

Befehle:
  versions                          der installierte HW-Zeitstempel, die SW- und
                                    die PID-Version
  info ABBILD [--sha256 HEX]        Komponenten, Signatur und SHA-256 des
                                    Abbilds, und ob eine Aktualisierung es
                                    annähme
  update ABBILD [--yes] [--no-copy] [--if-needed] [--sha256 HEX]
                                    das Abbild in den Flash-Speicher schreiben,
                                    nach einer Kopie der Seiten, die es löscht
  verify ABBILD [--sha256 HEX]      ob der Flash-Speicher das Abbild enthält;
                                    liest den Flash-Speicher nur
  restore [KOPIE] [--yes]           eine Kopie des Flash-Speichers zurückspielen
                                    (standardmäßig die neueste)
  copies                            die gesicherten Kopien des Flash-Speichers,
                                    die neueste zuerst
  clear-damaged ABBILD [--yes] [--sha256 HEX]
                                    nach einer beschädigten Aufzeichnung: sobald
                                    der Flash-Speicher das vollständige ABBILD
                                    enthält, die Aufzeichnung nicht mehr zählen
                                    (ihre Datei bleibt)
  history [-n N]                    jede Aktualisierung, jedes Zurückspielen und
                                    jede Prüfung des Flash-Speichers, die neueste
                                    zuerst (die neuesten N)

Optionen:
  --yes         ohne Nachfrage aktualisieren; nötig ohne Terminal
                und mit --json
  --no-copy     aktualisieren, ohne zuvor eine Kopie des Flash-Speichers
                zu sichern
  --if-needed   nur aktualisieren, wenn der Flash-Speicher das Abbild
                noch nicht enthält
  --sha256 HEX  ein Abbild ablehnen, dessen SHA-256 eine andere ist
                (als die veröffentlichte)
  -n N          history: nur die neuesten N Einträge
  --json        ein JSON-Objekt je Zeile auf der Standardausgabe
  -h, --help    diese Hilfe
  --version     die Version des Programms

Exit-Status: 0 der Flash-Speicher enthält das Abbild (oder eine Abfrage
gelang), 1 die Aktualisierung schlug fehl und der Flash-Speicher enthält
kein vollständiges Abbild, 2 abgelehnt, der Flash-Speicher ist unverändert
(auch bei abgelehnter Signatur oder SHA-256), 3 der Treiber ist nicht
erreichbar, 4 ein anderes Programm aktualisiert den Flash-Speicher,
64 falscher Aufruf. Bei verify besagt 1, dass der Flash-Speicher das
Abbild nicht enthält.
</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>VORLAN Update Utility</source>
        <translation>VORLAN Update Utility</translation>
    </message>
    <message>
        <source>Current Version of VORLAN System:</source>
        <translation>Installierte Version des VORLAN-Systems:</translation>
    </message>
    <message>
        <source>Current HW timestamp:</source>
        <translation>Aktueller HW-Zeitstempel:</translation>
    </message>
    <message>
        <source>Current SW version:</source>
        <translation>Aktuelle SW-Version:</translation>
    </message>
    <message>
        <source>Current PID version:</source>
        <translation>Aktuelle PID-Version:</translation>
    </message>
    <message>
        <source>VORLAN Update Image file:</source>
        <translation>VORLAN-Update-Abbild:</translation>
    </message>
    <message>
        <source>Enter image file name or search for it (button &apos;...&apos;)</source>
        <translation>Dateinamen des Abbilds eingeben oder suchen (Schaltfläche &apos;...&apos;)</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Current progress:</source>
        <translation>Aktueller Fortschritt:</translation>
    </message>
    <message>
        <source>Total progress:</source>
        <translation>Gesamtfortschritt:</translation>
    </message>
    <message>
        <source>Time elapsed:</source>
        <translation>Verstrichene Zeit:</translation>
    </message>
    <message>
        <source>Time remaining: </source>
        <translation>Verbleibende Zeit: </translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;VORLAN Update Utility&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;&lt;br/&gt;&lt;/p&gt;&lt;p&gt;KELDRA&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;VORLAN Update Utility&lt;/p&gt;&lt;p&gt;Version %1&lt;/p&gt;&lt;p&gt;&lt;br/&gt;&lt;/p&gt;&lt;p&gt;KELDRA&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Cannot open file</source>
        <translation>Datei kann nicht geöffnet werden</translation>
    </message>
    <message>
        <source>System file %1 could not be opened.

%2
Application will now quit.
</source>
        <translation>Die Systemdatei %1 konnte nicht geöffnet werden.

%2
Das Programm wird jetzt beendet.
</translation>
    </message>
    <message>
        <source>The tool will quit when the update has finished.</source>
        <translation>Das Programm wird beendet, sobald die Aktualisierung fertig ist.</translation>
    </message>
    <message>
        <source>Unfinished update</source>
        <translation>Nicht abgeschlossene Aktualisierung</translation>
    </message>
    <message>
        <source>Update in progress</source>
        <translation>Aktualisierung läuft</translation>
    </message>
    <message>
        <source>The flash memory is being updated. Closing the tool now could leave the VORLAN system unable to start.

Please wait until the update has finished.</source>
        <translation>Der Flash-Speicher wird gerade aktualisiert. Wird das Programm jetzt geschlossen, startet das VORLAN-System danach möglicherweise nicht mehr.

Bitte warten Sie, bis die Aktualisierung fertig ist.</translation>
    </message>
    <message>
        <source>Open VORLAN Update Image file</source>
        <translation>VORLAN-Update-Abbild öffnen</translation>
    </message>
    <message>
        <source>VORLAN RU Image (*.tarnru)</source>
        <translation>VORLAN-RU-Abbild (*.tarnru)</translation>
    </message>
    <message>
        <source>Invalid filename</source>
        <translation>Ungültiger Dateiname</translation>
    </message>
    <message>
        <source>The filename is not valid.

Expecting file extension: .tarnru, instead got: .%1</source>
        <translation>Der Dateiname ist ungültig.

Erwartete Dateiendung: .tarnru, stattdessen erhalten: .%1</translation>
    </message>
    <message>
        <source>Update failed</source>
        <translation>Aktualisierung fehlgeschlagen</translation>
    </message>
    <message>
        <source>No copy of the flash</source>
        <translation>Keine Kopie des Flash-Speichers</translation>
    </message>
    <message>
        <source>VORLAN</source>
        <translation>VORLAN</translation>
    </message>
    <message>
        <source>Choose an update image</source>
        <translation>Update-Abbild auswählen</translation>
    </message>
    <message>
        <source>&amp;Get Image Info</source>
        <translation>Abbild-&amp;Informationen</translation>
    </message>
    <message>
        <source>&amp;Update</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message>
        <source>Current operation progress</source>
        <translation>Fortschritt des aktuellen Schritts</translation>
    </message>
    <message>
        <source>How far the current step of the update is</source>
        <translation>Wie weit der aktuelle Schritt der Aktualisierung ist</translation>
    </message>
    <message>
        <source>Total progress</source>
        <translation>Gesamtfortschritt</translation>
    </message>
    <message>
        <source>How far the whole update is</source>
        <translation>Wie weit die ganze Aktualisierung ist</translation>
    </message>
    <message>
        <source>Status of the update</source>
        <translation>Stand der Aktualisierung</translation>
    </message>
    <message>
        <source>Time elapsed</source>
        <translation>Verstrichene Zeit</translation>
    </message>
    <message>
        <source>Time remaining</source>
        <translation>Verbleibende Zeit</translation>
    </message>
    <message>
        <source>The components of the update image.</source>
        <translation>Die Komponenten des Update-Abbilds.</translation>
    </message>
    <message>
        <source>OK updates the flash with these components.</source>
        <translation>OK aktualisiert den Flash-Speicher mit diesen Komponenten.</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>&amp;Flash</source>
        <translation>&amp;Flash-Speicher</translation>
    </message>
    <message>
        <source>&amp;Put Back a Copy...</source>
        <translation>Eine Kopie &amp;zurückspielen...</translation>
    </message>
    <message>
        <source>&amp;Clear Damaged Record...</source>
        <translation>Beschädigte Aufzeichnung &amp;verwerfen...</translation>
    </message>
    <message>
        <source>Put Back a Copy of the Flash</source>
        <translation>Eine Kopie des Flash-Speichers zurückspielen</translation>
    </message>
    <message>
        <source>Clear Damaged Record</source>
        <translation>Beschädigte Aufzeichnung verwerfen</translation>
    </message>
    <message>
        <source>Name a complete image of the flash in the image file field first: the flash is compared with it before the damaged record is cleared.</source>
        <translation>Geben Sie zuerst ein vollständiges Abbild des Flash-Speichers im Feld für die Abbilddatei an: Der Flash-Speicher wird damit verglichen, bevor die beschädigte Aufzeichnung verworfen wird.</translation>
    </message>
    <message>
        <source>&amp;History...</source>
        <translation>V&amp;erlauf...</translation>
    </message>
</context>
<context>
    <name>NodePermission</name>
    <message>
        <source>Add yourself to the group vorlan (sudo usermod -aG vorlan $USER) and log in again.</source>
        <translation>Fügen Sie sich der Gruppe vorlan hinzu (sudo usermod -aG vorlan $USER) und melden Sie sich erneut an.</translation>
    </message>
    <message>
        <source>You may not use it. %1</source>
        <translation>Sie dürfen es nicht benutzen. %1</translation>
    </message>
    <message>
        <source>Please check if VORLAN driver is loaded.</source>
        <translation>Bitte prüfen Sie, ob der VORLAN-Treiber geladen ist.</translation>
    </message>
    <message>
        <source>Error opening %1: %2. %3</source>
        <translation>Fehler beim Öffnen von %1: %2. %3</translation>
    </message>
    <message>
        <source>Error opening %1: %2</source>
        <translation>Fehler beim Öffnen von %1: %2</translation>
    </message>
</context>
<context>
    <name>PerUserRecord</name>
    <message>
        <source>The record of an earlier update in %1 is not taken in: it could have been changed by another user.</source>
        <translation>Die Aufzeichnung einer früheren Aktualisierung in %1 wird nicht übernommen: Ein anderer Benutzer könnte sie verändert haben.</translation>
    </message>
    <message>
        <source>The record of an earlier update in %1 could not be taken in: %2.</source>
        <translation>Die Aufzeichnung einer früheren Aktualisierung in %1 konnte nicht übernommen werden: %2.</translation>
    </message>
    <message>
        <source>The record of an earlier update in %1 is now kept for the flash of the machine in %2.</source>
        <translation>Die Aufzeichnung einer früheren Aktualisierung in %1 wird nun für den Flash-Speicher des Rechners in %2 geführt.</translation>
    </message>
</context>
<context>
    <name>PutBackImage</name>
    <message>
        <source>No update has left pages of the flash at risk: there is nothing to put back.</source>
        <translation>Keine Aktualisierung hat Seiten des Flash-Speichers gefährdet zurückgelassen: Es gibt nichts zurückzuspielen.</translation>
    </message>
    <message>
        <source>No copy holds the flash at %1: it cannot be put back.</source>
        <translation>Keine Kopie enthält den Flash-Speicher bei %1: Er kann nicht zurückgespielt werden.</translation>
    </message>
    <message>
        <source>The copy %1/%2 has changed since it was saved.</source>
        <translation>Die Kopie %1/%2 hat sich verändert, seit sie gesichert wurde.</translation>
    </message>
    <message>
        <source>The pages at risk lie in more than %1 pieces: put back the copies one by one.</source>
        <translation>Die gefährdeten Seiten liegen in mehr als %1 Stücken: Spielen Sie die Kopien einzeln zurück.</translation>
    </message>
    <message>
        <source>The flash cannot be put back: %1 cannot be written: %2.</source>
        <translation>Der Flash-Speicher kann nicht zurückgespielt werden: %1 kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>The copy cannot be used: %1.</source>
        <translation>Die Kopie kann nicht verwendet werden: %1.</translation>
    </message>
</context>
<context>
    <name>ShutdownInhibitor</name>
    <message>
        <source>Updating flash memory</source>
        <translation>Flash-Speicher wird aktualisiert</translation>
    </message>
</context>
<context>
    <name>SignatureCheck</name>
    <message>
        <source>%1 is not installed</source>
        <translation>%1 ist nicht installiert</translation>
    </message>
    <message>
        <source>no private folder for the signature check could be made</source>
        <translation>für die Signaturprüfung konnte kein privater Ordner angelegt werden</translation>
    </message>
    <message>
        <source>%1 cannot be started</source>
        <translation>%1 kann nicht gestartet werden</translation>
    </message>
    <message>
        <source>%1 did not take the image within %2 seconds</source>
        <translation>%1 hat das Abbild nicht innerhalb von %2 Sekunden angenommen</translation>
    </message>
    <message>
        <source>%1 did not answer within %2 seconds</source>
        <translation>%1 hat nicht innerhalb von %2 Sekunden geantwortet</translation>
    </message>
    <message>
        <source>%1 ended abnormally</source>
        <translation>%1 wurde nicht normal beendet</translation>
    </message>
</context>
<context>
    <name>SignatureResult</name>
    <message>
        <source>Signed by %1, key …%2</source>
        <translation>Signiert von %1, Schlüssel …%2</translation>
    </message>
    <message>
        <source>The signature does not match this image</source>
        <translation>Die Signatur passt nicht zu diesem Abbild</translation>
    </message>
    <message>
        <source>Signed by a key that is not trusted (…%1)</source>
        <translation>Mit einem nicht vertrauenswürdigen Schlüssel signiert (…%1)</translation>
    </message>
    <message>
        <source>The signing key has expired</source>
        <translation>Der Signaturschlüssel ist abgelaufen</translation>
    </message>
    <message>
        <source>Not signed</source>
        <translation>Nicht signiert</translation>
    </message>
    <message>
        <source>Signed by %1, key …%2, and by a key that is not trusted (…%3)</source>
        <translation>Signiert von %1, Schlüssel …%2, und mit einem nicht vertrauenswürdigen Schlüssel (…%3)</translation>
    </message>
</context>
<context>
    <name>StateFolder</name>
    <message>
        <source>%1 cannot be examined: %2</source>
        <translation>%1 kann nicht untersucht werden: %2</translation>
    </message>
    <message>
        <source>%1 is writable by others</source>
        <translation>%1 ist für andere beschreibbar</translation>
    </message>
    <message>
        <source>%1 cannot be made: %2</source>
        <translation>%1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>%1 is a symbolic link</source>
        <translation>%1 ist eine symbolische Verknüpfung</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>The state folder cannot be used: %1.</source>
        <translation>Der Zustandsordner kann nicht benutzt werden: %1.</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>%1 is larger than %2 bytes</source>
        <translation>%1 ist größer als %2 Bytes</translation>
    </message>
    <message>
        <source>%1 could not be read whole</source>
        <translation>%1 konnte nicht vollständig gelesen werden</translation>
    </message>
    <message>
        <source>%1 belongs to user %2, not to root or user %3</source>
        <translation>%1 gehört Benutzer %2, nicht root oder Benutzer %3</translation>
    </message>
    <message>
        <source>%1 is readable by others</source>
        <translation>%1 ist für andere lesbar</translation>
    </message>
    <message>
        <source>%1 is open to the group %2, which is not the group of %3</source>
        <translation>%1 ist für die Gruppe %2 offen, die nicht die Gruppe von %3 ist</translation>
    </message>
    <message>
        <source>%1 does not exist. Create it as root: install -d -o root -g %2 -m 2770 %1</source>
        <translation>%1 existiert nicht. Legen Sie es als root an: install -d -o root -g %2 -m 2770 %1</translation>
    </message>
    <message>
        <source>%1 is missing</source>
        <translation>%1 fehlt</translation>
    </message>
    <message>
        <source>%1 is a named pipe, not a regular file</source>
        <translation>%1 ist eine benannte Pipe, keine reguläre Datei</translation>
    </message>
    <message>
        <source>%1 could have been changed by a user whom the state folder does not trust</source>
        <translation>%1 könnte von einem Benutzer verändert worden sein, dem der Zustandsordner nicht vertraut</translation>
    </message>
</context>
<context>
    <name>TrustPolicy</name>
    <message>
        <source>without %1 a signature is required once a trusted key is installed</source>
        <translation>ohne %1 ist eine Signatur nötig, sobald ein vertrauenswürdiger Schlüssel installiert ist</translation>
    </message>
    <message>
        <source>%1 requires a signature once a trusted key is installed (Required=auto)</source>
        <translation>%1 verlangt eine Signatur, sobald ein vertrauenswürdiger Schlüssel installiert ist (Required=auto)</translation>
    </message>
    <message>
        <source>%1 requires a signature (Required=yes)</source>
        <translation>%1 verlangt eine Signatur (Required=yes)</translation>
    </message>
    <message>
        <source>%1 cannot be found: it is not trusted.</source>
        <translation>%1 ist nicht auffindbar: ihm wird nicht vertraut.</translation>
    </message>
    <message>
        <source>%1 cannot be examined: it is not trusted.</source>
        <translation>%1 kann nicht untersucht werden: ihm wird nicht vertraut.</translation>
    </message>
    <message>
        <source>%1 belongs to another user: it is not trusted.</source>
        <translation>%1 gehört einem anderen Benutzer: ihm wird nicht vertraut.</translation>
    </message>
    <message>
        <source>%1 is writable by others: it is not trusted.</source>
        <translation>%1 ist für andere beschreibbar: ihm wird nicht vertraut.</translation>
    </message>
    <message>
        <source>%1 is not trusted: the folder %2 belongs to another user.</source>
        <translation>%1 wird nicht vertraut: der Ordner %2 gehört einem anderen Benutzer.</translation>
    </message>
    <message>
        <source>%1 is not trusted: the folder %2 is writable by others.</source>
        <translation>%1 wird nicht vertraut: der Ordner %2 ist für andere beschreibbar.</translation>
    </message>
    <message>
        <source>it is larger than %1 KiB</source>
        <translation>sie ist größer als %1 KiB</translation>
    </message>
    <message>
        <source>%1 cannot be read (%2); signatures are required.</source>
        <translation>%1 kann nicht gelesen werden (%2); Signaturen sind nötig.</translation>
    </message>
    <message>
        <source>%1 line %2: %3; signatures are required.</source>
        <translation>%1 Zeile %2: %3; Signaturen sind nötig.</translation>
    </message>
    <message>
        <source>unknown section &quot;%1&quot;</source>
        <translation>unbekannter Abschnitt „%1“</translation>
    </message>
    <message>
        <source>the section [Signatures] is there twice</source>
        <translation>der Abschnitt [Signatures] steht zweimal darin</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a section, a setting or a comment</source>
        <translation>„%1“ ist weder ein Abschnitt noch eine Einstellung noch ein Kommentar</translation>
    </message>
    <message>
        <source>unknown key &quot;%1&quot;</source>
        <translation>unbekannter Schlüssel „%1“</translation>
    </message>
    <message>
        <source>Required is outside the [Signatures] section</source>
        <translation>Required steht außerhalb des Abschnitts [Signatures]</translation>
    </message>
    <message>
        <source>Required is there twice</source>
        <translation>Required steht zweimal darin</translation>
    </message>
    <message>
        <source>Required=%1 is not auto, yes or no</source>
        <translation>Required=%1 ist weder auto noch yes noch no</translation>
    </message>
    <message>
        <source>%1 cannot be used as it is, so a signature is required</source>
        <translation>%1 ist so nicht verwendbar, daher ist eine Signatur nötig</translation>
    </message>
    <message>
        <source>Signature policy: Required=auto, as %1 does not exist.</source>
        <translation>Signaturregel: Required=auto, da %1 nicht existiert.</translation>
    </message>
    <message>
        <source>Signature policy: Required=yes, as %1 cannot be used as it is.</source>
        <translation>Signaturregel: Required=yes, da %1 so nicht verwendbar ist.</translation>
    </message>
    <message>
        <source>Signature policy: Required=%1, from %2.</source>
        <translation>Signaturregel: Required=%1, aus %2.</translation>
    </message>
    <message>
        <source>An update needs a signature by a trusted key.</source>
        <translation>Eine Aktualisierung braucht eine Signatur mit einem vertrauenswürdigen Schlüssel.</translation>
    </message>
    <message>
        <source>An update needs no signature.</source>
        <translation>Eine Aktualisierung braucht keine Signatur.</translation>
    </message>
</context>
<context>
    <name>UpdateRecord</name>
    <message>
        <source>The record of this update could not be saved: %1. The flash was not changed.</source>
        <translation>Die Aufzeichnung dieser Aktualisierung konnte nicht gespeichert werden: %1. Der Flash-Speicher wurde nicht verändert.</translation>
    </message>
    <message>
        <source>its pages lie in more than %1 pieces</source>
        <translation>ihre Seiten liegen in mehr als %1 Stücken</translation>
    </message>
    <message>
        <source>Error reading Flash memory at 0x%1 for a copy. The flash was not changed.</source>
        <translation>Fehler beim Lesen des Flash-Speichers bei 0x%1 für eine Kopie. Der Flash-Speicher wurde nicht verändert.</translation>
    </message>
    <message>
        <source>it reads back otherwise than it was written</source>
        <translation>sie liest sich anders zurück, als sie geschrieben wurde</translation>
    </message>
    <message>
        <source>No copy of the flash could be saved: %1.</source>
        <translation>Es konnte keine Kopie des Flash-Speichers gesichert werden: %1.</translation>
    </message>
</context>
<context>
    <name>UpdateRun</name>
    <message>
        <source>starting</source>
        <translation>beginnt</translation>
    </message>
    <message>
        <source>saving a copy</source>
        <translation>sichert Kopie</translation>
    </message>
    <message>
        <source>erasing</source>
        <translation>löscht</translation>
    </message>
    <message>
        <source>writing</source>
        <translation>schreibt</translation>
    </message>
    <message>
        <source>reading back</source>
        <translation>liest zurück</translation>
    </message>
    <message>
        <source>comparing</source>
        <translation>vergleicht</translation>
    </message>
    <message>
        <source>The tool will quit when the update has finished.</source>
        <translation>Das Programm wird beendet, sobald die Aktualisierung fertig ist.</translation>
    </message>
    <message>
        <source>%1 %2 %3%  total %4%  elapsed %5  remaining %6</source>
        <translation>%1 %2 %3%  gesamt %4%  vergangen %5  verbleibend %6</translation>
    </message>
</context>
<context>
    <name>UpdateSession</name>
    <message>
        <source>%1 Update without a copy?</source>
        <translation>%1 Ohne Kopie aktualisieren?</translation>
    </message>
    <message>
        <source>Put back the flash as it was before this update?</source>
        <translation>Den Flash-Speicher auf den Stand vor dieser Aktualisierung zurückspielen?</translation>
    </message>
    <message>
        <source>Put back the flash as it was before the update that did not finish?</source>
        <translation>Den Flash-Speicher auf den Stand vor der nicht abgeschlossenen Aktualisierung zurückspielen?</translation>
    </message>
    <message>
        <source>Try again to put back the pages at risk as they were before?</source>
        <translation>Erneut versuchen, die gefährdeten Seiten auf ihren vorherigen Stand zurückzuspielen?</translation>
    </message>
    <message>
        <source>The flash holds %1 whole, as its update wrote and verified it, but the record of the pages at risk could not be updated: %2. Putting the flash back now would undo that update.</source>
        <translation>Der Flash-Speicher enthält %1 vollständig, wie seine Aktualisierung es geschrieben und geprüft hat, aber die Aufzeichnung der gefährdeten Seiten konnte nicht aktualisiert werden: %2. Den Flash-Speicher jetzt zurückzuspielen würde diese Aktualisierung rückgängig machen.</translation>
    </message>
    <message>
        <source>The record of an earlier update is damaged (%1), so the tool cannot tell which pages to put back.</source>
        <translation>Die Aufzeichnung einer früheren Aktualisierung ist beschädigt (%1), daher kann das Programm nicht erkennen, welche Seiten zurückzuspielen sind.</translation>
    </message>
    <message>
        <source>No damaged record of an update stands: there is nothing to clear.</source>
        <translation>Es liegt keine beschädigte Aufzeichnung einer Aktualisierung vor: Es gibt nichts zu verwerfen.</translation>
    </message>
    <message>
        <source>%1 The damaged record stays: clear it only once the flash holds a complete image.</source>
        <translation>%1 Die beschädigte Aufzeichnung bleibt: Verwerfen Sie sie erst, wenn der Flash-Speicher ein vollständiges Abbild enthält.</translation>
    </message>
    <message>
        <source>The flash holds %1. Clearing the damaged record (%2) drops what it may have named: the tool will no longer warn that pages of the flash may be at risk because of it. Clear it only when %1 is a complete image of the flash. The file stays in %3, its name beginning with &quot;cleared-record-&quot;. Clear the damaged record?</source>
        <translation>Der Flash-Speicher enthält %1. Wer die beschädigte Aufzeichnung (%2) verwirft, gibt auf, was sie genannt haben mag: Das Programm warnt dann nicht mehr, dass ihretwegen Seiten des Flash-Speichers gefährdet sein können. Verwerfen Sie sie nur, wenn %1 ein vollständiges Abbild des Flash-Speichers ist. Die Datei bleibt in %3, ihr Name beginnt mit „cleared-record-“. Die beschädigte Aufzeichnung verwerfen?</translation>
    </message>
    <message>
        <source>The damaged record could not be cleared: %1.</source>
        <translation>Die beschädigte Aufzeichnung konnte nicht verworfen werden: %1.</translation>
    </message>
    <message>
        <source>The damaged record was cleared and is kept as %1.</source>
        <translation>Die beschädigte Aufzeichnung wurde verworfen und bleibt als %1 erhalten.</translation>
    </message>
    <message>
        <source>It is safe to restart the computer.</source>
        <translation>Der Computer kann gefahrlos neu gestartet werden.</translation>
    </message>
    <message>
        <source>The flash holds the whole image of the update that did not finish, as it is compared now: no page is at risk any more, and there is nothing to put back. It is safe to restart the computer.</source>
        <translation>Der Flash-Speicher enthält das ganze Abbild der nicht abgeschlossenen Aktualisierung, wie der Vergleich jetzt zeigt: Keine Seite ist mehr gefährdet, und es gibt nichts zurückzuspielen. Der Computer kann gefahrlos neu gestartet werden.</translation>
    </message>
</context>
<context>
    <name>UpdateVerdict</name>
    <message>
        <source>The component was written and verified.</source>
        <translation>Die Komponente wurde geschrieben und geprüft.</translation>
    </message>
    <message numerus="yes">
        <source>All %n components were written and verified.</source>
        <translation>
            <numerusform>Die %n Komponente wurde geschrieben und geprüft.</numerusform>
            <numerusform>Alle %n Komponenten wurden geschrieben und geprüft.</numerusform>
        </translation>
    </message>
    <message>
        <source>Update failed at component %1. The flash does not hold this image: do not restart the computer before an update has ended with &quot;Done&quot;.</source>
        <translation>Die Aktualisierung ist bei Komponente %1 fehlgeschlagen. Der Flash-Speicher enthält dieses Abbild nicht: Starten Sie den Computer nicht neu, bevor eine Aktualisierung mit „Fertig“ geendet hat.</translation>
    </message>
    <message>
        <source>Another program is updating the flash now (process %1). Do not restart the computer before it has finished.</source>
        <translation>Ein anderes Programm aktualisiert gerade den Flash-Speicher (Prozess %1). Starten Sie den Computer nicht neu, bevor es fertig ist.</translation>
    </message>
    <message>
        <source>Another program is updating the flash. Do not restart the computer before it has finished.</source>
        <translation>Ein anderes Programm aktualisiert den Flash-Speicher. Starten Sie den Computer nicht neu, bevor es fertig ist.</translation>
    </message>
    <message>
        <source>The flash was not changed by this update, and it still does not hold a complete image %1: do not restart the computer before an update has ended with &quot;Done&quot;.</source>
        <translation>Der Flash-Speicher wurde durch diese Aktualisierung nicht verändert, und er enthält noch immer kein vollständiges Abbild, %1: Starten Sie den Computer nicht neu, bevor eine Aktualisierung mit „Fertig“ geendet hat.</translation>
    </message>
    <message>
        <source>The flash was not changed by this update.</source>
        <translation>Der Flash-Speicher wurde durch diese Aktualisierung nicht verändert.</translation>
    </message>
    <message>
        <source>The flash was not changed. It is safe to restart the computer.</source>
        <translation>Der Flash-Speicher wurde nicht verändert. Der Computer kann gefahrlos neu gestartet werden.</translation>
    </message>
    <message>
        <source> A copy of the flash as it was before is in %1.</source>
        <translation> Eine Kopie des vorherigen Stands des Flash-Speichers liegt in %1.</translation>
    </message>
    <message>
        <source> Copies of the flash as it was before are in %1.</source>
        <translation> Kopien des vorherigen Stands des Flash-Speichers liegen in %1.</translation>
    </message>
    <message>
        <source> No copy holds the flash at %1.</source>
        <translation> Keine Kopie enthält den Flash-Speicher bei %1.</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <comment>the place of a component among those of an image</comment>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>%1 (%2, at %3)</source>
        <comment>a component&apos;s name, place and address</comment>
        <translation>%1 (%2, bei %3)</translation>
    </message>
    <message>
        <source> The record of an earlier update is damaged (%1), so the tool cannot tell whether other pages of the flash are at risk.</source>
        <translation> Die Aufzeichnung einer früheren Aktualisierung ist beschädigt (%1), daher kann das Programm nicht erkennen, ob andere Seiten des Flash-Speichers gefährdet sind.</translation>
    </message>
    <message>
        <source> The flash holds this image, but the record of the pages at risk could not be updated: %1. Until it can be, the tool counts them as at risk; putting the flash back checks the flash first and does not undo this update.</source>
        <translation> Der Flash-Speicher enthält dieses Abbild, aber die Aufzeichnung der gefährdeten Seiten konnte nicht aktualisiert werden: %1. Bis das gelingt, zählt das Programm sie als gefährdet; das Zurückspielen prüft zuerst den Flash-Speicher und macht diese Aktualisierung nicht rückgängig.</translation>
    </message>
    <message>
        <source> The flash still does not hold a complete image %1: put back the pages still at risk as they were, or update the rest, before restarting the computer.</source>
        <translation> Der Flash-Speicher enthält noch immer kein vollständiges Abbild, %1: Spielen Sie die noch gefährdeten Seiten auf ihren vorherigen Stand zurück oder aktualisieren Sie den Rest, bevor Sie den Computer neu starten.</translation>
    </message>
    <message>
        <source>Putting the flash back failed at component %1. The flash at %2 is still at risk: do not restart the computer before an update has ended with &quot;Done&quot;.</source>
        <translation>Das Zurückspielen des Flash-Speichers ist bei Komponente %1 fehlgeschlagen. Der Flash-Speicher bei %2 ist noch gefährdet: Starten Sie den Computer nicht neu, bevor eine Aktualisierung mit „Fertig“ geendet hat.</translation>
    </message>
</context>
<context>
    <name>UpdaterThread</name>
    <message>
        <source>Erasing page at 0x%1</source>
        <translation>Lösche Seite bei 0x%1</translation>
    </message>
    <message>
        <source>Writing to Flash memory at 0x%1</source>
        <translation>Schreibe in den Flash-Speicher bei 0x%1</translation>
    </message>
    <message>
        <source>Reading from Flash memory at 0x%1</source>
        <translation>Lese aus dem Flash-Speicher bei 0x%1</translation>
    </message>
    <message>
        <source>Verifying Flash memory content.</source>
        <translation>Prüfe den Inhalt des Flash-Speichers.</translation>
    </message>
    <message>
        <source>Not enough memory to update the flash.</source>
        <translation>Nicht genug Arbeitsspeicher, um den Flash-Speicher zu aktualisieren.</translation>
    </message>
    <message>
        <source>Error seeking Flash memory to 0x%1: %2</source>
        <translation>Fehler beim Positionieren im Flash-Speicher auf 0x%1: %2</translation>
    </message>
    <message>
        <source>Error unlocking Flash memory.</source>
        <translation>Fehler beim Entsperren des Flash-Speichers.</translation>
    </message>
    <message>
        <source>Error erasing page at 0x%1</source>
        <translation>Fehler beim Löschen der Seite bei 0x%1</translation>
    </message>
    <message>
        <source>Error verifying Flash memory at 0x%1</source>
        <translation>Fehler beim Prüfen des Flash-Speichers bei 0x%1</translation>
    </message>
    <message>
        <source>Updater initialization...</source>
        <translation>Aktualisierung wird vorbereitet...</translation>
    </message>
    <message>
        <source>The update image changed after it was shown. Check it and press Update again.</source>
        <translation>Das Update-Abbild hat sich verändert, nachdem es angezeigt wurde. Prüfen Sie es und wählen Sie erneut „Aktualisieren“.</translation>
    </message>
    <message>
        <source>Done updating, but the flash still does not hold a complete image %1. Update again before restarting the computer.</source>
        <translation>Fertig, aber der Flash-Speicher enthält noch immer kein vollständiges Abbild, %1. Aktualisieren Sie erneut, bevor Sie den Computer neu starten.</translation>
    </message>
    <message>
        <source>Done updating. It is now safe to restart the computer.</source>
        <translation>Fertig. Der Computer kann jetzt gefahrlos neu gestartet werden.</translation>
    </message>
    <message>
        <source>Saving a copy of the flash to %1...</source>
        <translation>Sichere eine Kopie des Flash-Speichers in %1...</translation>
    </message>
    <message>
        <source>Started erasing Flash memory...</source>
        <translation>Löschen des Flash-Speichers begonnen...</translation>
    </message>
    <message>
        <source>Started writing to Flash memory...</source>
        <translation>Schreiben in den Flash-Speicher begonnen...</translation>
    </message>
    <message>
        <source>Verifying Flash memory...</source>
        <translation>Prüfe den Flash-Speicher...</translation>
    </message>
    <message>
        <source>Done updating: the flash holds the image, but the record of the pages at risk could not be updated: %1.</source>
        <translation>Fertig: Der Flash-Speicher enthält das Abbild, aber die Aufzeichnung der gefährdeten Seiten konnte nicht aktualisiert werden: %1.</translation>
    </message>
    <message>
        <source>Done updating, but the record of an earlier update is damaged, so the tool cannot tell whether other pages of the flash are at risk.</source>
        <translation>Fertig, aber die Aufzeichnung einer früheren Aktualisierung ist beschädigt, daher kann das Programm nicht erkennen, ob andere Seiten des Flash-Speichers gefährdet sind.</translation>
    </message>
</context>
<context>
    <name>VerdictLabel</name>
    <message>
        <source>Verdict of the update</source>
        <translation>Ergebnis der Aktualisierung</translation>
    </message>
</context>
<context>
    <name>vorlan-flash</name>
    <message>
        <source>Try &apos;vorlan-flash --help&apos;.
</source>
        <translation>Weitere Informationen mit „vorlan-flash --help“.
</translation>
    </message>
</context>
<context>
    <name>vorlan-update</name>
    <message>
        <source>Usage: vorlan-update [-f|--force] [IMAGE]
Shows the installed versions of a VORLAN system and, after a confirmation,
updates its flash memory with the update image IMAGE (*.tarnru), which is
filled in when given.

  -f, --force  keep the window open when the driver cannot be reached
               (the first argument only)
  -h, --help   this help
  --version    the program&apos;s version

Qt&apos;s options, such as -platform and -style, are taken too.
</source>
        <translation>Aufruf: vorlan-update [-f|--force] [ABBILD]
Zeigt die installierten Versionen eines VORLAN-Systems und aktualisiert nach
einer Bestätigung seinen Flash-Speicher mit dem Update-Abbild ABBILD
(*.tarnru), das, wenn angegeben, eingetragen wird.

  -f, --force  das Fenster offen halten, wenn der Treiber nicht erreichbar ist
               (nur als erstes Argument)
  -h, --help   diese Hilfe
  --version    die Version des Programms

Die Optionen von Qt, etwa -platform und -style, werden ebenfalls angenommen.
</translation>
    </message>
</context>
</TS>
