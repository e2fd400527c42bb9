#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>

#include "TestCompareModels.h"
#include "TestHTMLCheck.h"
#include "zDDComparer.h"
#include "zDDMerger.h"
#include "zDomain.h"
#include "zSQLParser.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::CompareModels;

namespace {

// Length of a longest common subsequence by the textbook table.
int LCSLength(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    std::vector<std::vector<int>> t(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j)
            t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    return t[a.size()][b.size()];
}

TEST(LineDiff, MyersAgreesWithTheLCSTableOnRandomSequences) {
    std::mt19937 random(20261205);
    for (int round = 0; round < 2000; ++round) {
        const int alphabet = 1 + static_cast<int>(random() % 6);
        std::vector<uint32_t> a(random() % 25), b(random() % 25);
        for (auto& x : a) x = random() % alphabet;
        for (auto& x : b) x = random() % alphabet;
        if (round % 5 == 0) b = a, b.insert(b.begin() + b.size() / 2, 99);  // near-equal inputs too
        const auto matches = MyersMatches(static_cast<int>(a.size()), static_cast<int>(b.size()),
                                          [&](int i, int j) { return a[i] == b[j]; });
        ASSERT_EQ(static_cast<int>(matches.size()), LCSLength(a, b)) << "round " << round;
        for (size_t k = 0; k < matches.size(); ++k) {
            ASSERT_EQ(a[matches[k].first], b[matches[k].second]);
            if (k > 0) {
                ASSERT_LT(matches[k - 1].first, matches[k].first);
                ASSERT_LT(matches[k - 1].second, matches[k].second);
            }
        }
        // The changes account for every element of both sides exactly once besides the matches.
        const auto changes = DiffChanges(a, b);
        size_t left = matches.size(), right = matches.size();
        for (const TVELDiffChange& c : changes) {
            left += c.Kind != dkAdd;
            right += c.Kind != dkDelete;
        }
        ASSERT_EQ(left, a.size());
        ASSERT_EQ(right, b.size());
    }
}

TEST(LineDiff, HashesChangesAndWordMarking) {
    EXPECT_EQ(LineCRC32("123456789"), 0xCBF43926u);
    EXPECT_EQ(LineCRC32(""), 0u);

    const auto changes = DiffChanges({1, 2, 3, 4}, {1, 5, 3, 4, 6});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].Kind, dkModify);
    EXPECT_EQ(changes[0].Left, 1);
    EXPECT_EQ(changes[0].Right, 1);
    EXPECT_EQ(changes[1].Kind, dkAdd);
    EXPECT_EQ(changes[1].Right, 4);
    const auto deleted = DiffChanges({7, 8}, {8});
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].Kind, dkDelete);
    EXPECT_EQ(deleted[0].Left, 0);

    std::string l = "price INTEGER NOT NULL", r = "price NUMERIC NOT NULL DEFAULT 0";
    MarkWordDifferences(l, r);
    EXPECT_EQ(l, "price <BOLD>INTEGER</BOLD> NOT NULL");
    EXPECT_EQ(r, "price <BOLD>NUMERIC</BOLD> NOT NULL <BOLD>DEFAULT</BOLD> <BOLD>0</BOLD>");
}

class DifferencesTest : public ::testing::Test, protected CompareModels {
protected:
    void Compare(bool ignoreCase = false, bool markWords = true, const TVELComparisonRules& rules = {}) {
        TVELDDComparer comparer;
        comparer.Source = &left;
        comparer.Destination = &right;
        comparer.Compare(differences, ignoreCase, markWords, rules, 1);
        differences.CountAll();
        differences.CountSelected();
    }
    TVELDifference* Named(const std::string& name) const {
        for (int i = 0; i < differences.Count(); ++i)
            if (differences.Difference(i)->LeftName == name || differences.Difference(i)->RightName == name)
                return differences.Difference(i);
        return nullptr;
    }
    // Both models: "customers" with a key, "orders" referencing it.
    void Build() {
        for (TVELDataDictionary* d : {&left, &right}) {
            TVELEntity* c = Table(*d, "customers", {{"cust_id", "INTEGER"}, {"name", "VARCHAR"}});
            TVELEntity* o = Table(*d, "orders", {{"order_id", "INTEGER"}, {"placed", "DATE"}});
            Relate(*d, c, o, "fk_orders_customers");
        }
        MatchIDs(left, right, nullptr);
        left.SelectAll();
        right.SelectAll();
    }
    TVELDifferences differences;
};

TEST_F(DifferencesTest, IdenticalModelsCountersAndSelection) {
    Build();
    Compare();
    ASSERT_EQ(differences.Count(), 2);  // relationships are no differences of their own
    EXPECT_EQ(differences.Unchanged, 2);
    EXPECT_EQ(differences.LeftOnly + differences.Changed + differences.RightOnly, 0);
    differences.SelectChanges();
    differences.CountSelected();
    EXPECT_EQ(differences.SelectedUnchanged, 0);
    for (int i = 0; i < differences.Count(); ++i) {
        TVELDifference* d = differences.Difference(i);
        EXPECT_FALSE(d->Selected);
        d->SetPropertyValue("Selected", "Yes");  // unchanged differences cannot be selected
        EXPECT_FALSE(d->Selected);
        for (const TVELDiffDetailsItem& item : d->Details) EXPECT_EQ(item.Status, dsUnchanged);
    }
    const TVELDifference* orders = Named("orders");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->ObjectClassName, "TVELEntity");
    EXPECT_EQ(orders->ObjectType, otEntity);
    EXPECT_EQ(orders->GetPropertyValue("Status"), "Unchanged");

    // The same counters over a mix of statuses and a partial selection.
    TVELEntity* extra = Table(left, "left_only", {{"id", "INTEGER"}});
    extra->Selected = true;
    Table(right, "right_only", {{"id", "INTEGER"}})->Selected = true;
    CompareModels::Column(static_cast<TVELEntity*>(right.FindByName("customers")), "name")->DataType->DataType = "DATE";
    Compare();
    EXPECT_EQ(differences.LeftOnly, 1);
    EXPECT_EQ(differences.RightOnly, 1);
    EXPECT_EQ(differences.Changed, 1);
    EXPECT_EQ(differences.Unchanged, 1);
    differences.SelectChanges();
    Named("right_only")->SetPropertyValue("Selected", "No");
    differences.CountSelected();
    EXPECT_EQ(differences.SelectedLeftOnly, 1);
    EXPECT_EQ(differences.SelectedRightOnly, 0);
    EXPECT_EQ(differences.SelectedChanged, 1);
    EXPECT_EQ(differences.SelectedUnchanged, 0);
}

TEST_F(DifferencesTest, OneSidedChangedAndLeftOutObjects) {
    Build();
    TVELEntity* only = Table(left, "audit", {{"id", "INTEGER"}});
    only->Selected = true;
    TVELEntity* hidden = Table(left, "hidden", {{"id", "INTEGER"}});
    hidden->Selected = false;  // not selected in the source: not compared
    TVELEntity* orders = static_cast<TVELEntity*>(right.FindByName("orders"));
    CompareModels::Column(orders, "placed")->DataType->DataType = "VARCHAR";
    Compare();

    EXPECT_EQ(Named("hidden"), nullptr);
    const TVELDifference* audit = Named("audit");
    ASSERT_NE(audit, nullptr);
    EXPECT_EQ(audit->Status, dsLeftOnly);
    EXPECT_EQ(audit->RightName, "");
    ASSERT_FALSE(audit->LeftString.empty());
    EXPECT_EQ(audit->LeftString[0], "Name: audit");
    EXPECT_EQ(audit->RightString, std::vector<std::string>(audit->LeftString.size()));
    ASSERT_EQ(audit->Details.size(), audit->LeftString.size());
    for (const TVELDiffDetailsItem& item : audit->Details) EXPECT_EQ(item.Status, dsLeftOnly);

    const TVELDifference* changed = Named("orders");
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->Status, dsChanged);
    int changedLines = 0;
    for (const TVELDiffDetailsItem& item : changed->Details) {
        if (item.Status == dsChanged) {
            ++changedLines;
            EXPECT_EQ(item.LeftString, "placed <BOLD>DATE</BOLD>");
            EXPECT_EQ(item.RightString, "placed <BOLD>VARCHAR</BOLD>");
        } else {
            EXPECT_EQ(item.Status, dsUnchanged);
            EXPECT_EQ(item.LeftString, item.RightString);
        }
    }
    EXPECT_EQ(changedLines, 1);

    // Without word marking the lines stay as described.
    Compare(false, false);
    for (const TVELDiffDetailsItem& item : Named("orders")->Details)
        if (item.Status == dsChanged) {
            EXPECT_EQ(item.LeftString, "placed DATE");
        }

    // A changed foreign key shows in the child table's description.
    for (int i = 0; i < right.Count(); ++i)
        if (auto* r = dynamic_cast<TVELRelationship*>(right[i])) r->DeleteRule = raCascade;
    CompareModels::Column(orders, "placed")->DataType->DataType = "DATE";
    Compare();
    EXPECT_EQ(Named("customers")->Status, dsUnchanged);
    EXPECT_EQ(Named("orders")->Status, dsChanged);

    TVELDDComparer missing;
    missing.Source = &left;
    EXPECT_THROW(missing.Compare(differences, false, true, {}, 1), EVELError);
}

TEST_F(DifferencesTest, IgnoreCaseRulesAndDescriptionModes) {
    Build();
    static_cast<TVELEntity*>(right.FindByName("customers"))->Note = "VIP";
    static_cast<TVELEntity*>(left.FindByName("customers"))->Note = "vip";
    Compare();
    EXPECT_EQ(Named("customers")->Status, dsChanged);
    Compare(true);
    EXPECT_EQ(Named("customers")->Status, dsUnchanged);
    EXPECT_EQ(Named("customers")->LeftString[0], "NAME: CUSTOMERS");

    // A rule turns a known difference into none.
    TVELComparisonRule rule;
    rule.TextToFind = "Note: v[a-z]+";
    rule.ReplaceText = "Note: ?";
    rule.IsRegularExpression = true;
    Compare(false, true, {&rule});
    EXPECT_EQ(Named("customers")->Status, dsUnchanged);

    // Script mode asks the script source for the text; without one the description stands in.
    TVELDDComparer comparer;
    comparer.Source = &left;
    comparer.Destination = &right;
    comparer.ScriptOf = [](const TVELDatabaseObject& o) { return "CREATE TABLE " + o.GetName() + " (...);\r\n" + o.Note; };
    comparer.Compare(differences, false, true, {}, 0);
    const TVELDifference* customers = Named("customers");
    ASSERT_EQ(customers->LeftString.size(), 2u);
    EXPECT_EQ(customers->LeftString[0], "CREATE TABLE customers (...);");
    EXPECT_EQ(customers->Status, dsChanged);
    comparer.ScriptOf = nullptr;
    comparer.Compare(differences, false, true, {}, 0);
    EXPECT_EQ(Named("customers")->LeftString[0], "Name: customers");

    // Property descriptions of the other kinds.
    auto* view = static_cast<TVELView*>(left.CreateObject(otView, true));
    view->SetName("v_all");
    view->Code = "SELECT *\r\nFROM customers";
    std::vector<std::string> lines;
    PropertyDescription(*view, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"Name: v_all", "Note: ", "Comment: ", "To do: ",
                                                "Code: SELECT *\r\nFROM customers"}));
    comparer.Describe(*view, {}, lines);
    EXPECT_EQ(lines.back(), "FROM customers");  // cut into lines after the description
}

TEST(DifferencesScripts, ScriptModeComparesTheGeneratedStatements) {
    TargetDatabases().Build(ardvin::test::DefinitionsDir());
    const std::string tables =
        "CREATE TABLE customer (id INTEGER NOT NULL, name VARCHAR(40), CONSTRAINT pk_customer PRIMARY KEY (id), "
        "CONSTRAINT uq_name UNIQUE (name));\n"
        "CREATE TABLE orders (id INTEGER NOT NULL, customer_id INTEGER, CONSTRAINT pk_orders PRIMARY KEY (id), "
        "CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) REFERENCES customer (id));\n"
        "CREATE INDEX ix_orders_customer ON orders (customer_id);\n"
        "CREATE SEQUENCE seq_orders INCREMENT BY 1;\n"
        "CREATE VIEW v_customer AS SELECT id, name FROM customer;\n";
    auto model = [](const std::string& script) {
        auto d = std::make_unique<TVELDataDictionary>();
        d->SetTarget("postgresql15");
        TVELSQLParser parser(d.get());
        parser.Script = script;
        parser.Import();
        return d;
    };
    std::unique_ptr<TVELDataDictionary> left = model(tables);
    std::unique_ptr<TVELDataDictionary> right =
        model(ReplaceAll(ReplaceAll(tables, "name VARCHAR(40)", "name VARCHAR(60)"), "REFERENCES customer (id)",
                         "REFERENCES customer (id) ON DELETE CASCADE"));
    MatchIDs(*left, *right, nullptr);
    left->SelectAll();
    right->SelectAll();
    TVELDifferences differences;
    TVELCompareSettings settings;
    settings.DescriptionMode = 0;
    CompareDictionaries(*left, *right, differences, settings);
    auto named = [&](const std::string& name) -> const TVELDifference* {
        for (int i = 0; i < differences.Count(); ++i)
            if (differences.Difference(i)->LeftName == name) return differences.Difference(i);
        return nullptr;
    };
    auto changedLines = [](const TVELDifference* d) {
        std::vector<std::string> lines;
        for (const TVELDiffDetailsItem& item : d->Details)
            if (item.Status != dsUnchanged) lines.push_back(item.LeftString + " | " + item.RightString);
        return lines;
    };
    ASSERT_EQ(differences.Count(), 4);
    // The table statement with its unique constraint; the column line is the one changed.
    const TVELDifference* customer = named("customer");
    ASSERT_NE(customer, nullptr);
    EXPECT_EQ(customer->LeftString[0], "CREATE TABLE \"customer\" (");
    EXPECT_NE(std::find(customer->LeftString.begin(), customer->LeftString.end(),
                        "ALTER TABLE \"customer\" ADD CONSTRAINT \"uq_name\" UNIQUE (\"name\");"),
              customer->LeftString.end())
        << JoinStrings(customer->LeftString, "\n");
    EXPECT_EQ(changedLines(customer),
              std::vector<std::string>{"  \"name\" <BOLD>VARCHAR(40),</BOLD> |   \"name\" <BOLD>VARCHAR(60),</BOLD>"});
    // The foreign key into the orders table is part of its script, and so is its index.
    const TVELDifference* orders = named("orders");
    ASSERT_NE(orders, nullptr);
    EXPECT_EQ(orders->Status, dsChanged);
    const std::string ordersText = JoinStrings(orders->RightString, "\n");
    EXPECT_NE(ordersText.find("CREATE INDEX \"ix_orders_customer\" ON \"orders\" (\"customer_id\");"), std::string::npos)
        << ordersText;
    const std::vector<std::string> fk = changedLines(orders);
    ASSERT_EQ(fk.size(), 1u) << ordersText;
    EXPECT_NE(fk[0].find("| ALTER TABLE \"orders\" ADD CONSTRAINT \"fk_orders_customer\" FOREIGN KEY (\"customer_id\") "
                         "REFERENCES \"customer\" <BOLD>(\"id\")</BOLD> <BOLD>ON</BOLD> <BOLD>DELETE</BOLD> <BOLD>CASCADE;</BOLD>"),
              std::string::npos)
        << fk[0];
    EXPECT_EQ(named("seq_orders")->Status, dsUnchanged);
    EXPECT_TRUE(named("seq_orders")->LeftString[0].starts_with("CREATE SEQUENCE \"seq_orders\""))
        << named("seq_orders")->LeftString[0];
    EXPECT_EQ(named("v_customer")->Status, dsUnchanged);

    // Describing an object again gives the same text (the marks of inline constraints do not stay).
    TVELDDComparer comparer;
    const TVELEntity* table = left->FindEntity("customer");
    EXPECT_EQ(comparer.TemplateScript(*table), comparer.TemplateScript(*table));
    EXPECT_NE(comparer.TemplateScript(*table).find("CONSTRAINT \"pk_customer\" PRIMARY KEY (\"id\")"), std::string::npos)
        << comparer.TemplateScript(*table);
}

TEST_F(DifferencesTest, DifferenceItemsAndPropertiesRoundTrip) {
    TVELDiffDetailsItem item{"a <b> & c", "right", dsChanged};
    const std::string markup = item.SaveToMarkup();
    EXPECT_NE(markup.find("<DIFFITEM>"), std::string::npos);
    EXPECT_NE(markup.find("<STATUS>Changed</STATUS>"), std::string::npos);
    TVELDiffDetailsItem loaded;
    loaded.LoadFromMarkup(ReadElement("DIFFITEM", markup));
    EXPECT_EQ(loaded.LeftString, item.LeftString);
    EXPECT_EQ(loaded.RightString, "right");
    EXPECT_EQ(loaded.Status, dsChanged);

    TVELDifference d;
    d.SetPropertyValue("Status", "right ONLY");
    EXPECT_EQ(d.Status, dsRightOnly);
    d.SetPropertyValue("Status", "nonsense");
    EXPECT_EQ(d.Status, dsRightOnly);
    d.SetPropertyValue("Selected", "Yes");
    EXPECT_TRUE(d.Selected);
    d.SetPropertyValue("LeftName", "l");
    d.SetPropertyValue("Description", "text");
    EXPECT_EQ(d.GetPropertyValue("LeftName"), "l");
    EXPECT_EQ(d.GetPropertyValue("Description"), "text");
    EXPECT_EQ(DiffStatusText(dsLeftOnly), "Left only");
    EXPECT_EQ(DiffStatusText(0), "");
}

TEST(DifferencesHTML, ExactPageForASmallCase) {
    TVELDifferences differences;
    TVELDifference* d = differences.AddDifference();
    d->LeftName = "t";
    d->RightName = "t";
    d->Details = {{"a  b", "a  b", dsUnchanged}, {"x <BOLD>INT</BOLD>", "x <BOLD>DATE</BOLD>", dsChanged}};
    TVELDifference* only = differences.AddDifference();
    only->RightName = "u";
    only->Details = {{"", "1<2", dsRightOnly}};
    TVELSettingsList settings;
    settings.SetValue("TITLE", "Cmp");
    settings.SetValue("TEXTAFTERTITLE", "after");
    settings.SetValue("LEFT", "Model");
    settings.SetValue("RIGHT", "Database");
    settings.SetValue("BGCOLOR3", "#eeeeee");
    settings.SetValue("FONTCOLOR3", "#ff0000");
    const std::string cell2 = "<TD BGCOLOR=#ffffff><FONT FACE=\"courier\" size=\"2\" COLOR=#000000>";
    const std::string cell3 = "<TD BGCOLOR=#eeeeee><FONT FACE=\"courier\" size=\"2\" COLOR=#ff0000>";
    const std::string cell4 = "<TD BGCOLOR=#d0ffd0><FONT FACE=\"courier\" size=\"2\" COLOR=#006000>";
    const std::string expected =
        "<html><head><title>Cmp</title>\n"
        "<body bgcolor=\"#ffffff\">\n"
        "<FONT FACE=\"verdana\" size=\"2\" COLOR=#333333>\n"
        "<H1>Cmp</H1>\n"
        "after\n"
        "<BR><BR>\n"
        "<TABLE WIDTH=\"100%\" BORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"2\">\n"
        "<TR><TD><B>Model</B></TD><TD><B>Database</B></TD></TR>\n"
        "<TR><TD COLSPAN=\"2\"><FONT FACE=\"verdana\" size=\"2\"><H3>t - t</H3></FONT></TD></TR>\n"
        "<TR>" + cell2 + "a&nbsp;&nbsp;b</FONT></TD>" + cell2 + "a&nbsp;&nbsp;b</FONT></TD></TR>\n"
        "<TR>" + cell3 + "x&nbsp;<B>INT</B></FONT></TD>" + cell3 + "x&nbsp;<B>DATE</B></FONT></TD></TR>\n"
        "<TR><TD COLSPAN=\"2\"><FONT FACE=\"verdana\" size=\"2\"><H3>u</H3></FONT></TD></TR>\n"
        "<TR>" + cell4 + "</FONT></TD>" + cell4 + "1&lt;2</FONT></TD></TR>\n"
        "</TABLE>\n</FONT>\n</BODY>\n";
    EXPECT_EQ(DifferencesToHTML(differences, settings), expected);

    ardvin::test::TempDir dir;
    settings.SetValue("FILENAME", dir.File("diff.html"));
    ExportDifferencesToHTML(differences, settings);
    EXPECT_EQ(ardvin::test::ReadFile(dir.File("diff.html")), "\xEF\xBB\xBF" + expected);
    settings.SetValue("FILENAME", dir.File("missing/diff.html"));
    EXPECT_THROW(ExportDifferencesToHTML(differences, settings), EVELError);
}

TEST_F(DifferencesTest, HTMLPageShowsTheDifferencesSideBySide) {
    // Names and texts with markup characters, quotes and letters beyond ASCII.
    TVELEntity* l = Table(left, "Größe<&>", {{"id", "INTEGER"}, {"note", "VARCHAR"}});
    TVELEntity* r = Table(right, "Größe<&>", {{"id", "INTEGER"}, {"note", "DATE"}});
    l->Comment = "say \"hi\" & 'bye'";
    r->Comment = "say \"hi\" & 'bye' <now>";
    Table(right, "neu_ß", {{"id", "INTEGER"}});
    MatchIDs(left, right, nullptr);
    left.SelectAll();
    right.SelectAll();
    Compare();
    TVELSettingsList settings;
    settings.SetValue("TITLE", "Model & \"DB\"");
    settings.SetValue("LEFT", "old<1>.arv");
    settings.SetValue("RIGHT", "Straße.arv");
    settings.SetValue("FILENAME", dir.File("page.html"));
    ExportDifferencesToHTML(differences, settings);
    const std::string page = ardvin::test::ReadFile(dir.File("page.html"));
    EXPECT_EQ(page.find("<now>"), std::string::npos);
    EXPECT_NE(page.find("say&nbsp;&quot;hi&quot;&nbsp;&amp;&nbsp;'bye'&nbsp;<B>&lt;now&gt;</B>"), std::string::npos);

    const ardvin::test::RunResult shown = ardvin::test::ShownHTML(dir.File("page.html"));
    ASSERT_EQ(shown.ExitCode, 0) << shown.Err << page;
    const std::vector<std::string> lines = SplitString(shown.Out, '\n');
    ASSERT_GE(lines.size(), 4u) << shown.Out;
    EXPECT_EQ(lines[0], "TITLE\tModel & \"DB\"");
    EXPECT_EQ(lines[1], "ROW\t\t[old<1>.arv]\t[Straße.arv]");
    EXPECT_EQ(lines[2], "HEAD\tGröße<&> - Größe<&>");
    // Changed lines stand side by side with the differing words in bold on both sides; the
    // table only on the right has its lines in the right column only.
    EXPECT_NE(shown.Out.find("\tnote [VARCHAR]\tnote [DATE]\n"), std::string::npos) << shown.Out;
    EXPECT_NE(shown.Out.find("\tComment: say \"hi\" & 'bye'\tComment: say \"hi\" & 'bye' [<now>]\n"),
              std::string::npos)
        << shown.Out;
    EXPECT_NE(shown.Out.find("HEAD\tneu_ß\nROW\t#d0ffd0\t\tName: neu_ß\n"), std::string::npos) << shown.Out;
    size_t rows = 0;
    for (const std::string& line : lines)
        if (line.starts_with("ROW\t")) {
            ++rows;
            EXPECT_EQ(SplitString(line, '\t').size(), 4u) << line;  // two cells in every row
        }
    size_t details = 0;
    for (int i = 0; i < differences.Count(); ++i) details += differences.Difference(i)->Details.size();
    EXPECT_EQ(rows, details + 1);

    // The checker itself refuses what a browser would misread.
    ardvin::test::WriteFile(dir.File("bad.html"), "<html><body><TABLE><TR><TD>x</TR></TABLE></body>");
    EXPECT_EQ(ardvin::test::ShownHTML(dir.File("bad.html")).ExitCode, 1);
    ardvin::test::WriteFile(dir.File("latin1.html"), "<html><body>Gr\xF6\xDF" "e</body>");
    EXPECT_EQ(ardvin::test::ShownHTML(dir.File("latin1.html")).ExitCode, 1);
}

TEST_F(DifferencesTest, MergerAppliesSelectedDifferences) {
    Build();
    // The model gains a table, loses one and sees one changed; one change stays unselected.
    auto* domain = static_cast<TVELDomain*>(left.CreateObject(otDomain, true));
    domain->SetName("money");
    domain->DataType->DataType = "INTEGER";
    TVELEntity* customers = static_cast<TVELEntity*>(left.FindByName("customers"));
    customers->Abbreviation = "CUS";
    customers->BeginTableScript = "-- begin";
    customers->Note = "model note";
    customers->ExtraProps.SetValue("owner", "sales");
    TVELEntity* money = Table(left, "payments", {{"pay_id", "INTEGER"}, {"amount", "INTEGER"}});
    CompareModels::Column(money, "amount")->DomainID = domain->ID;
    TVELEntity* gone = Table(left, "obsolete", {{"id", "INTEGER"}});
    const int32_t goneID = gone->ID;
    Table(left, "unselected", {{"id", "INTEGER"}});

    TVELEntity* customers2 = static_cast<TVELEntity*>(right.FindByName("customers"));
    Table(right, "invoices", {{"inv_id", "INTEGER"}});
    CompareModels::Column(customers2, "name")->DataType->DataType = "DATE";
    customers2->AddAttribute(true)->SetName("email");
    TVELEntity* payments2 = Table(right, "payments", {{"pay_id", "INTEGER"}, {"amount", "INTEGER"}, {"paid", "DATE"}});
    (void)payments2;
    Relate(right, static_cast<TVELEntity*>(right.FindByName("invoices")), customers2, "fk_customers_invoices");
    MatchIDs(left, right, nullptr);
    // "unselected" only in the model, but its difference is left unselected.
    left.SelectAll();
    right.SelectAll();
    Compare();
    differences.SelectChanges();
    Named("unselected")->Selected = false;
    Named("money")->Selected = false;  // left only as well: kept

    TVELDDMerger merger(left, right, differences);
    merger.Apply();
    EXPECT_NE(left.FindByName("invoices"), nullptr);          // added
    EXPECT_EQ(left.FindObjectByID(goneID), nullptr);          // removed
    EXPECT_NE(left.FindByName("unselected"), nullptr);        // not selected: untouched
    EXPECT_NE(left.FindByName("money"), nullptr);
    ASSERT_EQ(customers->Attributes.Count(), 4);              // changed
    EXPECT_NE(CompareModels::Column(customers, "inv_id"), nullptr);  // the new foreign key
    EXPECT_EQ(CompareModels::Column(customers, "name")->DataType->DataType, "DATE");
    EXPECT_NE(CompareModels::Column(customers, "email"), nullptr);
    EXPECT_EQ(customers->Abbreviation, "CUS");                // kept extended properties
    EXPECT_EQ(customers->BeginTableScript, "-- begin");
    EXPECT_EQ(customers->Note, "model note");
    EXPECT_EQ(customers->ExtraProps.GetValue("owner"), "sales");
    EXPECT_EQ(CompareModels::Column(money, "amount")->DomainID, domain->ID);  // kept domain
    EXPECT_NE(CompareModels::Column(money, "paid"), nullptr);
    // The relationship into the changed table came along with it.
    int relationships = 0;
    for (int i = 0; i < left.Count(); ++i)
        if (auto* r = dynamic_cast<TVELRelationship*>(left[i]); r && r->GetChildEntity() == customers) {
            ++relationships;
            EXPECT_EQ(r->GetParentEntity(), left.FindByName("invoices"));
        }
    EXPECT_EQ(relationships, 1);

    // Compared again, only the kept model properties differ.
    Compare();
    EXPECT_EQ(Named("invoices")->Status, dsUnchanged);
    for (const TVELDiffDetailsItem& item : Named("customers")->Details)
        if (item.Status != dsUnchanged) {
            const std::string& l = item.LeftString;
            EXPECT_TRUE(l.rfind("Abbreviation: ", 0) == 0 || l.rfind("Note: ", 0) == 0 ||
                        l.rfind("Begin table script: ", 0) == 0)
                << l;
        }
}

TEST_F(DifferencesTest, MergerWithoutKeepingReplacesEverything) {
    Build();
    auto* domain = static_cast<TVELDomain*>(left.CreateObject(otDomain, true));
    domain->SetName("code");
    domain->DataType->DataType = "VARCHAR";
    TVELEntity* customers = static_cast<TVELEntity*>(left.FindByName("customers"));
    customers->Abbreviation = "CUS";
    customers->ToDo = "check";
    CompareModels::Column(customers, "name")->DomainID = domain->ID;
    CompareModels::Column(customers, "name")->Comment = "model comment";
    customers->AddAttribute(true)->SetName("legacy");
    TVELEntity* customers2 = static_cast<TVELEntity*>(right.FindByName("customers"));
    customers2->Comment = "from the database";
    auto* domain2 = static_cast<TVELDomain*>(right.CreateObject(otDomain, true));
    domain2->SetName("code");
    domain2->DataType->DataType = "VARCHAR";
    MatchIDs(left, right, nullptr);
    left.SelectAll();
    right.SelectAll();
    Compare();
    differences.SelectChanges();
    TVELDDMerger merger(left, right, differences);
    merger.KeepExtendedProperties = false;
    merger.KeepDomains = false;
    merger.KeepComments = true;
    merger.KeepMissingAttributes = true;
    merger.Apply();
    EXPECT_EQ(customers->Abbreviation, "");
    EXPECT_EQ(customers->ToDo, "");
    EXPECT_EQ(customers->Comment, "from the database");
    EXPECT_EQ(CompareModels::Column(customers, "name")->DomainID, -1);
    // The two further switches: comments the other model lacks and model-only columns stay.
    EXPECT_EQ(CompareModels::Column(customers, "name")->Comment, "model comment");
    ASSERT_NE(CompareModels::Column(customers, "legacy"), nullptr);
    EXPECT_EQ(customers->Attributes.Count(), 3);
    std::set<int32_t> ids;
    for (int i = 0; i < customers->Attributes.Count(); ++i) ids.insert(customers->AttributeAt(i)->ID);
    EXPECT_EQ(ids.size(), 3u);
}

}  // namespace
