#include "diag/DispatcherWindows.h"
#include "diag/MessagePacket.h"

#include <QTest>

#include <limits>

// Byte expectations are written out by hand (little-endian), not computed
// with the code under test.
class tst_MessagePacket : public QObject
{
    Q_OBJECT

private:
    static TMessagePacketFields Base()
    {
        TMessagePacketFields f;
        f.Kind = 6;
        f.Time = 65045123; // 18:04:05.123
        f.Date = 739958;   // 8 December 2026
        f.TimeZoneBias = -60;
        f.ProcessId = 4711;
        f.ThreadId = 4712;
        f.ConnectionId = "{0123ABCD-4567-89EF-0123-456789ABCDEF}";
        f.ComputerName = "QUILLHOST";
        f.AppName = "Flitto";
        f.Category = "Copy";
        f.CategoryColor = static_cast<qint32>(0xFF000005);
        f.TypeName = "TStringList";
        f.Text = "FileList";
        f.Details = "a.dat\r\nb.dat\r\n";
        return f;
    }

private Q_SLOTS:
    void wholeRecord()
    {
        const QByteArray expected =
            QByteArray::fromHex("060000008382E003764A0B00C4FFFFFF080000000E00000067120000681200007B"
                                "30313233414243442D343536372D38"
                                "3945462D303132332D3435363738394142434445467D000000005155494C4C484F"
                                "535400000000000000466C6974746F"
                                "000000000000000000000000000000000000000000000000000000000000000000"
                                "0000436F7079000000000000000000"
                                "00000000000000000000000000000000000000000000000000000000050000FF54"
                                "537472696E674C6973740000000000"
                                "0000000000000000000000000000000000000000000000000046696C654C697374"
                                "612E6461740D0A622E6461740D0A00"
                                "0000");
        QCOMPARE(MessagePacket::Build(Base()).toHex(), expected.toHex());
    }

    void edgeCases_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("details");
        QTest::addColumn<QByteArray>("typeName");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("lengths"); // bytes 16..23: T and D
        QTest::addColumn<int>("offset");         // where "expected" must stand
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("empty record is 220 bytes")
            << QByteArray() << QByteArray() << QByteArray() << 220
            << QByteArray("\0\0\0\0\0\0\0\0", 8) << 176 << QByteArray(44, '\0');
        QTest::newRow("final CR LF of the text dropped")
            << QByteArray("Line\r\n") << QByteArray() << QByteArray() << 224
            << QByteArray("\x04\0\0\0\0\0\0\0", 8) << 217 << QByteArray("Line\0\0\0", 7);
        QTest::newRow("only one CR LF dropped")
            << QByteArray("A\r\n\r\n") << QByteArray() << QByteArray() << 223
            << QByteArray("\x03\0\0\0\0\0\0\0", 8) << 217 << QByteArray("A\r\n\0\0\0", 6);
        QTest::newRow("CR LF alone is dropped")
            << QByteArray("\r\n") << QByteArray() << QByteArray() << 220
            << QByteArray("\0\0\0\0\0\0\0\0", 8) << 217 << QByteArray("\0\0\0", 3);
        QTest::newRow("one character kept")
            << QByteArray("\n") << QByteArray() << QByteArray() << 221
            << QByteArray("\x01\0\0\0\0\0\0\0", 8) << 217 << QByteArray("\n\0\0\0", 4);
        QTest::newRow("lone LF at the end kept")
            << QByteArray("ab\n") << QByteArray() << QByteArray() << 223
            << QByteArray("\x03\0\0\0\0\0\0\0", 8) << 217 << QByteArray("ab\n", 3);
        QTest::newRow("text stops at its first NUL")
            << QByteArray("ab\0cd", 5) << QByteArray() << QByteArray() << 222
            << QByteArray("\x02\0\0\0\0\0\0\0", 8) << 217 << QByteArray("ab\0\0\0", 5);
        QTest::newRow("details keep their CR LF")
            << QByteArray("FileList") << QByteArray("a\r\nb\r\n") << QByteArray() << 234
            << QByteArray("\x08\0\0\0\x06\0\0\0", 8) << 225 << QByteArray("a\r\nb\r\n\0\0\0", 9);
        QTest::newRow("type name of 50 cut to 40 and a NUL at 216")
            << QByteArray() << QByteArray() << QByteArray(50, 'T') << 220
            << QByteArray("\0\0\0\0\0\0\0\0", 8) << 176
            << QByteArray(40, 'T') + QByteArray(4, '\0');
        QTest::newRow("type name of 40 kept whole")
            << QByteArray() << QByteArray() << QByteArray(40, 'N') << 220
            << QByteArray("\0\0\0\0\0\0\0\0", 8) << 214 << QByteArray("NN\0", 3);
        QTest::newRow("bytes that are not UTF-8 pass unchanged")
            << QByteArray("\xFF\xFE\x80") << QByteArray("\xC3\x28") << QByteArray() << 225
            << QByteArray("\x03\0\0\0\x02\0\0\0", 8) << 217 << QByteArray("\xFF\xFE\x80\xC3\x28");
    }

    void edgeCases()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, details);
        QFETCH(QByteArray, typeName);
        QFETCH(int, size);
        QFETCH(QByteArray, lengths);
        QFETCH(int, offset);
        QFETCH(QByteArray, expected);

        TMessagePacketFields fields;
        fields.Kind = 2;
        fields.Text = text;
        fields.Details = details;
        fields.TypeName = typeName;
        const QByteArray record = MessagePacket::Build(fields);
        QCOMPARE(record.size(), size);
        QCOMPARE(record.mid(16, 8).toHex(), lengths.toHex());
        QCOMPARE(record.mid(offset, expected.size()).toHex(), expected.toHex());
        QCOMPARE(record.right(3), QByteArray(3, '\0'));
        QCOMPARE(record.left(4), QByteArray("\x02\0\0\0", 4));
    }

    void fixedFieldsAreCut_data()
    {
        QTest::addColumn<int>("field"); // 0 connection id, 1 computer, 2 program, 3 category
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("size");

        QTest::newRow("connection id: 41 characters and a NUL") << 0 << 32 << 42;
        QTest::newRow("computer name: 15 characters and a NUL") << 1 << 74 << 16;
        QTest::newRow("program name: 40 characters and a NUL") << 2 << 90 << 41;
        QTest::newRow("category: 40 characters and a NUL") << 3 << 131 << 41;
    }

    void fixedFieldsAreCut()
    {
        QFETCH(int, field);
        QFETCH(int, offset);
        QFETCH(int, size);

        TMessagePacketFields fields;
        const QByteArray longText(100, 'x');
        QByteArray *targets[] = {&fields.ConnectionId, &fields.ComputerName, &fields.AppName,
                                 &fields.Category};
        *targets[field] = longText;
        const QByteArray record = MessagePacket::Build(fields);
        QCOMPARE(record.size(), 220);
        QCOMPARE(record.mid(offset, size), QByteArray(size - 1, 'x') + '\0');
        // Nothing spills into the next field.
        QCOMPARE(record.at(offset - 1), '\0');
        QCOMPARE(record.count('x'), size - 1);
    }

    void parseGivesBackTheFields()
    {
        const TMessagePacketFields base = Base();
        const std::optional<TMessagePacketFields> parsed =
            MessagePacket::Parse(MessagePacket::Build(base));
        QVERIFY(parsed);
        QCOMPARE(parsed->Kind, base.Kind);
        QCOMPARE(parsed->Time, base.Time);
        QCOMPARE(parsed->Date, base.Date);
        QCOMPARE(parsed->TimeZoneBias, base.TimeZoneBias);
        QCOMPARE(parsed->ProcessId, base.ProcessId);
        QCOMPARE(parsed->ThreadId, base.ThreadId);
        QCOMPARE(parsed->ConnectionId, base.ConnectionId);
        QCOMPARE(parsed->ComputerName, base.ComputerName);
        QCOMPARE(parsed->AppName, base.AppName);
        QCOMPARE(parsed->Category, base.Category);
        QCOMPARE(parsed->CategoryColor, base.CategoryColor);
        QCOMPARE(parsed->TypeName, base.TypeName);
        QCOMPARE(parsed->Text, base.Text);
        QCOMPARE(parsed->Details, base.Details);
    }

    void parseRejectsLengthsThatDoNotAddUp_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("shorter than the fixed part") << QByteArray(219, '\0');
        QByteArray longer(221, '\0');
        QTest::newRow("a byte more than T + D + 220") << longer;
        QByteArray lying(220, '\0');
        lying[16] = 5; // claims a text of 5 bytes
        QTest::newRow("text length beyond the record") << lying;
        QByteArray huge(220, '\0');
        huge[19] = '\x7F';
        huge[23] = '\x7F'; // T + D would overflow 32 bits
        QTest::newRow("lengths that overflow") << huge;
    }

    void parseRejectsLengthsThatDoNotAddUp()
    {
        QFETCH(QByteArray, record);
        QVERIFY(!MessagePacket::Parse(record));
    }

    // The header the record travels behind: the size field at every byte
    // position and at the ends of its range, the kind sign-extended.
    void copyDataHeader_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<uint>("size");
        QTest::addColumn<QByteArray>("hex"); // message, size, first parameter, data word
        const auto hex = [](const char *size, const char *kind) -> QByteArray {
            return QByteArray("4a000000") + size + "0000000000000000" + kind;
        };
        QTest::newRow("empty") << 0 << 0u << hex("00000000", "0000000000000000");
        QTest::newRow("one byte") << 6 << 1u << hex("01000000", "0600000000000000");
        QTest::newRow("300 bytes, kind -2") << -2 << 300u << hex("2c010000", "feffffffffffffff");
        QTest::newRow("second byte") << 41 << 256u << hex("00010000", "2900000000000000");
        QTest::newRow("third byte") << 10 << 65536u << hex("00000100", "0a00000000000000");
        QTest::newRow("fourth byte") << 2 << 16777216u << hex("00000001", "0200000000000000");
        QTest::newRow("largest signed") << std::numeric_limits<int>::max() << 2147483647u
                                        << hex("ffffff7f", "ffffff7f00000000");
        QTest::newRow("top bit") << std::numeric_limits<int>::min() << 2147483648u
                                 << hex("00000080", "00000080ffffffff");
        QTest::newRow("largest") << -1 << 4294967295u << hex("ffffffff", "ffffffffffffffff");
    }

    void copyDataHeader()
    {
        QFETCH(int, kind);
        QFETCH(uint, size);
        QFETCH(QByteArray, hex);
        const QByteArray header = DispatcherWindows::EncodeHeader(kind, size);
        QCOMPARE(header.toHex(), hex);
        const DispatcherWindows::TCopyDataHeader decoded =
            DispatcherWindows::DecodeHeader(header.constData());
        QCOMPARE(decoded.Message, DispatcherWindows::CopyDataMessage);
        QCOMPARE(decoded.Size, size);
        QCOMPARE(decoded.WParam, quint64(0));
        QCOMPARE(decoded.DataWord, qint64(kind));
    }
};

QTEST_GUILESS_MAIN(tst_MessagePacket)
#include "tst_MessagePacket.moc"
