// Cost of one received block in the debug window once its text is long: the window is open
// offscreen with 1 MB and 8 MB of byte text (an 8-hour session at line rate gives about 8 MB),
// and each block of 11 bytes (a telemetry frame, the largest block the port hands over at
// 600 bit/s) goes through the debug framer into the text box, which the event loop then
// paints. Prints min / median / max in ms per block, at the end of the text and in its middle
// (after a click there). Goal: at most 1 ms per block at 8 MB.
//
// "bench_debug_text --baseline" measures the same with Qt's own plain text box instead, as
// the window first had it, at 64 KB and 1 MB (a few blocks only: it takes seconds each).

#include "longtextedit.h"
#include "programframers.h"
#include "tcomdatapacket.h"
#include "tform_debug.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

QString byteText(qsizetype characters)
{
    QString text;
    text.reserve(characters);
    QRandomGenerator random(7);
    while (text.size() + 4 <= characters)
        text += TForm_Debug::ThreeDigitText(int(random.bounded(256))) + u' ';
    return text;
}

QByteArray frameBlock(QRandomGenerator &random)
{
    QByteArray block(11, '\0');
    block[0] = char(0xFF);
    for (int i = 1; i < block.size(); ++i)
        block[i] = char(random.bounded(256));
    return block;
}

struct Figures
{
    double min = 0, median = 0, max = 0;
};

Figures measure(int blocks, const std::function<void(const QByteArray &)> &addBlock)
{
    QRandomGenerator random(11);
    std::vector<double> ms;
    for (int i = 0; i < blocks; ++i) {
        const QByteArray block = frameBlock(random);
        QElapsedTimer timer;
        timer.start();
        addBlock(block);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return { ms.front(), ms[ms.size() / 2], ms.back() };
}

void print(const char *what, qsizetype characters, const Figures &f)
{
    std::printf("%-34s %5.1f MB: min %8.3f  median %8.3f  max %8.3f ms per block\n", what,
                double(characters) / (1 << 20), f.min, f.median, f.max);
}

void measureWindow(qsizetype characters)
{
    TForm_Debug window;
    window.show();
    TComDataPacket framer;
    ProgramFramers::SetupDebug(framer);
    framer.OnPacket = [&window](TComDataPacket *sender, const QByteArray &packet) {
        window.ComPaquetDebugPacket(sender, packet);
    };
    window.DebugMemo->setText(byteText(characters));
    QApplication::processEvents();
    // The block, then what the event loop paints for it.
    const auto addBlock = [&](const QByteArray &block) {
        framer.AddText(block);
        QApplication::processEvents();
    };
    print("debug window, end of the text", characters, measure(300, addBlock));
    window.DebugMemo->setCaretPosition(int(window.DebugMemo->text().size() / 2));
    print("debug window, middle of the text", characters, measure(100, addBlock));
}

void measureBaseline(qsizetype characters, int blocks)
{
    QPlainTextEdit box;
    box.resize(260, 540);
    box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box.show();
    box.setPlainText(byteText(characters));
    box.moveCursor(QTextCursor::End);
    QApplication::processEvents();
    const auto addBlock = [&](const QByteArray &block) {
        for (const char byte : block)
            box.insertPlainText(TForm_Debug::ThreeDigitText(static_cast<unsigned char>(byte))
                                + u' ');
        QApplication::processEvents();
    };
    print("Qt plain text box, end of the text", characters, measure(blocks, addBlock));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--baseline") == 0) {
        measureBaseline(64 << 10, 5);
        measureBaseline(1 << 20, 3);
        return 0;
    }
    measureWindow(1 << 20);
    measureWindow(8 << 20);
    return 0;
}
