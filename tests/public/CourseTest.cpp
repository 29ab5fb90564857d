#include "Course.h"

#include "ModalScript.h"
#include "Multilanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A copy of the sample course folder (tests/public/course): GBK course lists, tutorial
// programs 101, 102, 103, 201 and 301; 104, 105, 202 and 302 are listed but missing.
class CourseTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString samples = QString::fromUtf8(KVZ_COURSE_SAMPLES);
        QDirIterator files(samples, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString source = files.next();
            const QString target = base(source.mid(samples.size() + 1));
            QDir().mkpath(QFileInfo(target).path());
            ASSERT_TRUE(QFile::copy(source, target));
        }
        panel_.resize(200, 100);
    }

    QString base(const QString& relative = {}) const { return dir_.filePath(relative); }
    QString baseFolder() const { return base() + u'/'; }
    void writeLangIni(const QByteArray& text) {
        QFile file(base(u"Lang/Lang.ini"_s));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QList<int> hotTops(const TCourse& course) const {
        QList<int> tops;
        for (const TUrlLabel* label : course.HotLabels())
            tops << label->y();
        return tops;
    }

    QTemporaryDir dir_;
    QWidget panel_;
};

TEST_F(CourseTest, LanguageChoosesTheCourseList) {
    const struct {
        QByteArray langIni;
        QString firstHot;
    } cases[] = {
        {"[Default]\r\nLanguage=CHINESE_SIMPLIFIED\r\n", u"101=文件加密入门"_s},
        {"[Default]\r\nOther=1\r\n", u"101=文件加密入门"_s},
        {"[Default]\r\nLanguage=CHINESE_TRADITIONAL\r\n", u"101=檔案加密入門"_s},
        {"[Default]\r\nLanguage=ENGLISH\r\n", u"101=Getting started with file encryption"_s},
    };
    for (const auto& c : cases) {
        writeLangIni(c.langIni);
        const TCourse course(baseFolder(), false);
        ASSERT_FALSE(course.HotEntries().isEmpty()) << c.langIni.constData();
        EXPECT_EQ(course.HotEntries().first(), c.firstHot) << c.langIni.constData();
    }
}

TEST_F(CourseTest, CheckingFilesHidesMissingPrograms) {
    const TCourse all(baseFolder(), false);
    EXPECT_EQ(all.HotEntries().size(), 5);
    EXPECT_EQ(all.AllEntries().size(), 9);
    TCourse checked(baseFolder(), true);
    EXPECT_EQ(checked.HotEntries().size(), 4);
    EXPECT_FALSE(checked.HotEntries().join(u'|').contains(u"302="_s));
    EXPECT_EQ(checked.ProgramList().first(),
              u"101="_s + QDir::toNativeSeparators(base(u"Tutor/101.exe"_s)));
    int top = 0;
    checked.SetAll(0, top, &panel_, 0, 1, 20, 130);
    checked.SetCorList(base(u"elsewhere"_s), &panel_); // changes nothing
    EXPECT_EQ(checked.HotEntries().size(), 4);
    QStringList captions;
    for (const QLabel* label : panel_.findChildren<QLabel*>())
        captions << label->text();
    EXPECT_EQ(captions, (QStringList{u"文件加密入门"_s, u"部门与用户管理"_s, u"用户权限设置"_s}));
}

// Entries whose program would lie outside "Tutor" are never listed, even when that file exists.
TEST_F(CourseTest, EntriesLeadingOutOfTheTutorFolderAreRefused) {
    QFile outside(base(u"evil.exe"_s));
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    QFile list(base(u"Lang/Tutor_chi.ini"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write("[hot]\r\n../evil=a\r\n101=b\r\n/tmp/x=c\r\n[all]\r\n1\\..\\..\\evil=d\r\n"
               "102=e\r\nC:evil=f\r\n");
    list.close();
    for (const bool checkFiles : {false, true}) {
        const TCourse course(baseFolder(), checkFiles);
        EXPECT_EQ(course.HotEntries(), QStringList{u"101=b"_s});
        EXPECT_EQ(course.AllEntries(), QStringList{u"102=e"_s});
    }
}

TEST_F(CourseTest, GridOfFourColumnsAndTheRunningTop) {
    TCourse course(baseFolder(), false);
    const struct {
        int maxCount;
        QList<QPoint> places;
        int top;
    } cases[] = {
        {0, {{10, 50}, {140, 50}, {270, 50}, {400, 50}, {10, 75}}, 50 + 2 * 25 + 10},
        {4, {{10, 50}, {140, 50}, {270, 50}, {400, 50}}, 50 + 25 + 10},
        {3, {{10, 50}, {140, 50}, {270, 50}}, 50 + 25 + 10},
    };
    for (const auto& c : cases) {
        QWidget grid;
        int top = 50;
        course.SetAll(10, top, &grid, c.maxCount, 1, 25, 130);
        QList<QPoint> places;
        for (const QLabel* label : grid.findChildren<QLabel*>())
            places << label->pos();
        EXPECT_EQ(places, c.places) << c.maxCount;
        EXPECT_EQ(top, c.top) << c.maxCount;
    }
}

TEST_F(CourseTest, HotListRollsUpAndWrapsAround) {
    writeLangIni("[Default]\r\nLanguage=ENGLISH\r\n");
    const TCourse empty(baseFolder(), &panel_);
    EXPECT_TRUE(empty.TimerActive());
    EXPECT_TRUE(empty.HotEntries().isEmpty());
    TCourse course(baseFolder(), false);
    course.SetHot(&panel_);
    ASSERT_EQ(hotTops(course), (QList<int>{30, 60}));
    EXPECT_TRUE(course.TimerActive());
    course.RollTimerTimer();
    EXPECT_EQ(hotTops(course), (QList<int>{25, 55}));
    EXPECT_TRUE(course.TimerActive());
    for (int i = 0; i < 10; ++i)
        course.RollTimerTimer();
    // The first label went above the panel and re-entered at its bottom edge; the second
    // label had not reached the bottom.
    EXPECT_EQ(hotTops(course), (QList<int>{100 - 20, 5}));

    // Five labels reach below the panel: the first re-enters 30 below the last.
    writeLangIni("[Default]\r\nLanguage=CHINESE_SIMPLIFIED\r\n");
    QWidget tall;
    tall.resize(200, 100);
    TCourse five(baseFolder(), false);
    five.SetHot(&tall);
    for (int i = 0; i < 11; ++i)
        five.RollTimerTimer();
    EXPECT_EQ(hotTops(five), (QList<int>{100 + 30, 5, 35, 65, 95}));

    course.SetRolled(false);
    course.RollTimerTimer();
    EXPECT_EQ(hotTops(course), (QList<int>{30, 60})) << "not rolled: laid out again";
    course.SetRolled(true);
    course.CorStop();
    course.RollTimerTimer();
    EXPECT_FALSE(course.TimerActive());
    EXPECT_EQ(hotTops(course), (QList<int>{30, 60}));
}

TEST_F(CourseTest, SingleHotLabelStaysAndMouseStopsTheRoll) {
    QFile list(base(u"Lang/Tutor_eng.ini"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write("[hot]\n101=Only one\n");
    list.close();
    writeLangIni("[Default]\nLanguage=ENGLISH\n");
    TCourse course(baseFolder(), true);
    course.SetHot(&panel_);
    course.RollTimerTimer();
    EXPECT_EQ(hotTops(course), QList<int>{30});
    EXPECT_FALSE(course.TimerActive());

    TUrlLabel* label = course.HotLabels().first();
    Q_EMIT label->MouseMoved();
    EXPECT_FALSE(course.IsRolling());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(label, &leave);
    EXPECT_TRUE(course.IsRolling());
}

TEST_F(CourseTest, MissingProgramAsksForTheDownload) {
    TCourse course(baseFolder(), false);
    int top = 0;
    course.SetAll(0, top, &panel_, 0, 1, 20, 130);
    const QList<TUrlLabel*> links = panel_.findChildren<TUrlLabel*>();
    ASSERT_EQ(links.size(), 5);
    ModalScript script;
    script.answerMessage(QMessageBox::Ok);
    Q_EMIT links[3]->Clicked(); // 104: no program
    script.expectDone();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DownloadMsg"_s)});
    EXPECT_EQ(script.messageTitles(), QStringList{GetString(u"idinf"_s)});
}

} // namespace
