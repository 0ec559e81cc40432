#include <QtTest>
class TstProcessi : public QObject {
    Q_OBJECT
};
QTEST_MAIN(TstProcessi)
#include "tst_processi.moc"
