#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDatatype.h"
#include "zDomain.h"
#include "zEntity.h"
#include "zIndex.h"
#include "zProcedure.h"
#include "zRelationship.h"
#include "zSQLParser.h"
#include "zSequence.h"
#include "zTrigger.h"
#include "zView.h"

using namespace ardvin;
using ardvin::test::TempDir;
using ardvin::test::WriteFile;

namespace {

using Strings = std::vector<std::string>;

// The shipped targets and three small ones for the dialects that ship none yet.
class SQLParserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        for (const auto& entry : std::filesystem::directory_iterator(test::DefinitionsDir()))
            std::filesystem::copy_file(entry.path(), dir_->File(entry.path().filename().string()));
        auto target = [](const std::string& id, const std::string& name, const std::string& driver) {
            WriteFile(dir_->File(id + ".def"),
                      "[general]\r\ndbmsname=" + name + "\r\ndrivername=" + driver +
                          "\r\n[supported]\r\nenablesequences=1\r\nenableviews=1\r\nenableprocedures=1\r\n"
                          "enabletriggers=1\r\nenableschemas=1\r\n");
        };
        target("testmssql", "SQL Server Test", "mssqlserver");
        target("testoracle", "Oracle Test", "oracle");
        target("testdb2", "DB2 Test", "db2");
        target("testnodriver", "Driverless", "nosuchdriver");
        WriteFile(dir_->File("testmssql.typ"), "LISTNAME;BASE\r\nINT;INT;;[IDENTITY(%S,%I)];Exact Numeric;0;0;1;1\r\n"
                                                "NVARCHAR;NVARCHAR(%L);;;String;50;0;0\r\n"
                                                "DECIMAL;DECIMAL(%L,%P);;;Exact Numeric;18;2;0\r\n");
        TargetDatabases().Build(dir_->Path());
    }
    static void TearDownTestSuite() { dir_.reset(); }

    // Imports a script into a fresh model of the target.
    void Import(const std::string& target, const std::string& script, const TVELSettingsList& options = {}) {
        dd = std::make_unique<TVELDataDictionary>();
        dd->SetTarget(target);
        parser = std::make_unique<TVELSQLParser>(dd.get());
        parser->Options.Assign(options);
        parser->Script = script;
        parser->OnMessage = [this](TVELSQLParser*, int level, const std::string& text, TVELNamedObject*) {
            if (level != mlInfo) problems.push_back(MessageLevelName(level) + ": " + text);
        };
        problems.clear();
        parser->Import();
    }

    TVELEntity* Table(const std::string& name) const { return dd->FindEntity(name); }
    TVELAttribute* Column(const std::string& table, const std::string& column) const {
        TVELEntity* entity = Table(table);
        return entity ? dynamic_cast<TVELAttribute*>(entity->Attributes.FindByName(column)) : nullptr;
    }
    std::vector<TVELRelationship*> Relationships() const {
        std::vector<TVELRelationship*> out;
        dd->Relationships(out);
        return out;
    }
    TVELRelationship* Relationship(const std::string& name) const {
        for (TVELRelationship* r : Relationships())
            if (r->GetName() == name) return r;
        return nullptr;
    }
    // "parent.column=child.column" per pair.
    static Strings Pairs(const TVELRelationship& r) {
        Strings out;
        for (int i = 0; i < r.Pairs.Count(); ++i)
            out.push_back(r.GetParentEntity()->GetName() + "." + r.ParentAttribute(r.PairAt(i)->KeyID)->GetName() +
                          "=" + r.GetChildEntity()->GetName() + "." +
                          r.ChildAttribute(r.PairAt(i)->ForeignKeyID)->GetName());
        return out;
    }
    static Strings KeyNames(const TVELEntity& e) {
        Strings names;
        e.PrimaryKey->AttributeIDs.GetNames(names);
        return names;
    }
    static Strings Names(const TVELEntity& e) {
        Strings names;
        e.Attributes.Names(names);
        return names;
    }
    int Count(int type) const {
        std::vector<TVELDatabaseObject*> objects;
        dd->CollectOfType(type, objects);
        return static_cast<int>(objects.size());
    }
    bool HasMessage(const std::string& text) const {
        return std::find(parser->Messages.begin(), parser->Messages.end(), text) != parser->Messages.end();
    }

    static std::unique_ptr<TempDir> dir_;
    std::unique_ptr<TVELDataDictionary> dd;
    std::unique_ptr<TVELSQLParser> parser;
    Strings problems; // messages of levels other than Info
};

std::unique_ptr<TempDir> SQLParserTest::dir_;

} // namespace

TEST(WordList, CutsAtDelimitersAndKeepsThemAsEntries) {
    const std::string text = "CREATE TABLE t(a INT,\r\n b  CHAR(2));";
    TVELWordList w(text);
    Strings entries;
    for (int i = 0; i < w.Count(); ++i)
        entries.emplace_back(w[i]);
    EXPECT_EQ(entries, (Strings{"CREATE", " ", "TABLE", " ", "t", "(", "a", " ", "INT", ",", "", " ", "b", " ", " ",
                                "CHAR", "(", "2", ")", ")", ";"}));
    EXPECT_EQ(w.FindWord("table"), 2);
    EXPECT_EQ(w.FindAfter("TABLE"), 4);
    EXPECT_EQ(w.FindWord("nothing"), -1);
    EXPECT_EQ(w.NextSignificant(9), 12) << "a line break and blanks are skipped";
    EXPECT_EQ(w.PreviousSignificant(12), 9);
    EXPECT_TRUE(w.StartsWith("create"));
    EXPECT_EQ(w.MatchingClose(5), 19);
    EXPECT_EQ(w.MatchingClose(16), 18);
    EXPECT_EQ(w.MatchingClose(4), -1);
    EXPECT_EQ(w.Depth(6), 1);
    EXPECT_EQ(w.Depth(17), 2);
    EXPECT_EQ(w.Depth(19), 0);
    EXPECT_EQ(w.Text(6, 19), "a INT,\r\n b  CHAR(2)");
    EXPECT_FALSE(w.Significant(10));
    EXPECT_EQ(w[99], "");
}

TEST(SQLNames, UnquoteAndSplitQualifiedNames) {
    EXPECT_EQ(Unquote("\"my \"\"table\"\"\""), "my \"table\"");
    EXPECT_EQ(Unquote("[Order Details]"), "Order Details");
    EXPECT_EQ(Unquote("`naïve`"), "naïve");
    EXPECT_EQ(Unquote("'it''s'"), "it's");
    EXPECT_EQ(Unquote("plain"), "plain");
    EXPECT_EQ(Unquote("\"open"), "\"open");
    std::string schema, name;
    SplitQualifiedName("[dbo].[Order.Details]", schema, name);
    EXPECT_EQ(schema, "dbo");
    EXPECT_EQ(name, "Order.Details");
    SplitQualifiedName("db.\"sales\".orders", schema, name);
    EXPECT_EQ(schema, "sales");
    EXPECT_EQ(name, "orders");
    SplitQualifiedName("orders", schema, name);
    EXPECT_EQ(schema, "");
    EXPECT_EQ(name, "orders");
    EXPECT_EQ(StripEnclosingParentheses("((0))", 2), "0");
    EXPECT_EQ(StripEnclosingParentheses("(((0)))", 2), "(0)");
    EXPECT_EQ(StripEnclosingParentheses("(a) + (b)", 2), "(a) + (b)");
    EXPECT_EQ(StripEnclosingParentheses("(')')", 1), "')'");
}

TEST_F(SQLParserTest, PostgreSQLTablesColumnsKeysAndTypes) {
    Import("postgresql15", R"SQL(
CREATE SCHEMA sales;
CREATE TABLE IF NOT EXISTS sales."Order Lines" (
    id serial PRIMARY KEY,
    "Größe" numeric(12,2) NOT NULL DEFAULT 0,
    label character varying(40) COLLATE "C",
    ratio double precision,
    created timestamp without time zone DEFAULT CURRENT_TIMESTAMP NOT NULL,
    flags integer[],
    code int4 CONSTRAINT code_positive CHECK (code > 0),
    ident bigint GENERATED BY DEFAULT AS IDENTITY (START WITH 100 INCREMENT BY 5),
    tag text UNIQUE,
    CONSTRAINT ck_label CHECK ((label <> '')),
    CONSTRAINT uq_code UNIQUE (code, label)
);
COMMENT ON TABLE sales."Order Lines" IS 'Lines of an order; it''s long';
COMMENT ON COLUMN sales."Order Lines"."Größe" IS 'Size';
CREATE TEMPORARY TABLE scratch (x int);
CREATE GLOBAL TEMPORARY TABLE scratch2 (x int);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otEntity), 1) << "temporary tables are no model tables";
    TVELEntity* lines = Table("sales.Order Lines");
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->SchemaName, "sales");
    EXPECT_EQ(lines->Comment, "Lines of an order; it's long");
    EXPECT_EQ(Names(*lines), (Strings{"id", "Größe", "label", "ratio", "created", "flags", "code", "ident", "tag"}));
    EXPECT_EQ(KeyNames(*lines), Strings{"id"});
    EXPECT_TRUE(HasMessage("Adding table \"Order Lines\"."));

    TVELAttribute* id = Column("sales.Order Lines", "id");
    EXPECT_EQ(id->DataType->DataType, "SERIAL");
    TVELAttribute* size = Column("sales.Order Lines", "Größe");
    EXPECT_EQ(size->DataType->DataType, "NUMERIC");
    EXPECT_EQ(size->DataType->Length, "12");
    EXPECT_EQ(size->DataType->Precision, 2);
    EXPECT_TRUE(size->IsNotNull());
    EXPECT_EQ(size->DefaultValue(), "0");
    EXPECT_EQ(size->Comment, "Size");
    TVELAttribute* label = Column("sales.Order Lines", "label");
    EXPECT_EQ(label->DataType->DataType, "VARCHAR") << "a synonym of two words becomes the target's name";
    EXPECT_EQ(label->DataType->Length, "40");
    EXPECT_EQ(label->Collate, "C");
    EXPECT_FALSE(label->IsNotNull());
    EXPECT_EQ(Column("sales.Order Lines", "ratio")->DataType->DataType, "DOUBLE PRECISION");
    TVELAttribute* created = Column("sales.Order Lines", "created");
    EXPECT_EQ(created->DataType->DataType, "TIMESTAMP") << "four words";
    EXPECT_EQ(created->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_TRUE(created->IsNotNull());
    TVELAttribute* flags = Column("sales.Order Lines", "flags");
    EXPECT_EQ(flags->DataType->DataType, "INTEGER");
    EXPECT_EQ(flags->DataType->ArrayOptions, "[]");
    TVELAttribute* code = Column("sales.Order Lines", "code");
    EXPECT_EQ(code->DataType->DataType, "INTEGER");
    EXPECT_EQ(code->CheckValue(), "code > 0");
    EXPECT_EQ(code->CheckConstraint()->Name, "code_positive");
    TVELAttribute* ident = Column("sales.Order Lines", "ident");
    EXPECT_TRUE(ident->DataType->AutoNumber);
    EXPECT_TRUE(ident->AutoNumber);
    EXPECT_EQ(ident->DataType->Seed, 100);
    EXPECT_EQ(ident->DataType->Increment, 5);

    // table checks and unique constraints, the column-level UNIQUE among them
    ASSERT_EQ(lines->Constraints.Count(), 3);
    const TVELConstraint* tagUnique = lines->ConstraintAt(0);
    EXPECT_EQ(tagUnique->ConstraintType, ctUnique);
    EXPECT_EQ(tagUnique->AttributeIDs.NamesText(), "tag");
    const TVELConstraint* check = lines->ConstraintAt(1);
    EXPECT_EQ(check->ConstraintType, ctCheck);
    EXPECT_EQ(check->Name, "ck_label");
    EXPECT_EQ(check->Value, "label <> ''");
    const TVELConstraint* unique = lines->ConstraintAt(2);
    EXPECT_EQ(unique->Name, "uq_code");
    EXPECT_EQ(unique->AttributeIDs.NamesText(), "code, label");
}

TEST_F(SQLParserTest, PostgreSQLDumpWithSequencesDeferredKeysIndexesAndCode) {
    Import("postgresql15", R"SQL(
SET client_encoding = 'UTF8';
CREATE DOMAIN public.positive AS integer DEFAULT 1 CHECK (VALUE > 0);
CREATE TYPE public.mood AS ENUM ('sad', 'ok', 'happy');
CREATE TYPE public.pair AS (a int, b int);
CREATE TABLE public.orders (
    id integer NOT NULL,
    customer_id integer,
    amount public.positive,
    feeling public.mood
);
CREATE SEQUENCE public.orders_id_seq
    AS integer
    START WITH 10
    INCREMENT BY 2
    NO MINVALUE
    MAXVALUE 99999
    CACHE 5;
ALTER SEQUENCE public.orders_id_seq OWNED BY public.orders.id;
ALTER TABLE ONLY public.orders ALTER COLUMN id SET DEFAULT nextval('public.orders_id_seq'::regclass);
ALTER TABLE ONLY public.orders ADD CONSTRAINT orders_pkey PRIMARY KEY (id);
ALTER TABLE ONLY public.orders
    ADD CONSTRAINT orders_customer_fkey FOREIGN KEY (customer_id) REFERENCES public.customers(id) ON DELETE CASCADE ON UPDATE SET NULL;
CREATE TABLE public.customers (
    id integer NOT NULL PRIMARY KEY,
    name text
);
CREATE UNIQUE INDEX customers_name_idx ON public.customers USING btree (name DESC) WHERE (name IS NOT NULL);
CREATE INDEX orders_customer_idx ON ONLY public.orders (customer_id);
CREATE VIEW public.big_orders AS
 SELECT orders.id FROM public.orders WHERE (orders.amount > 100);
CREATE FUNCTION public.touch() RETURNS trigger
    LANGUAGE plpgsql
    AS $$
BEGIN
  NEW.amount := NEW.amount + 1; -- adjust
  RETURN NEW;
END;
$$;
CREATE TRIGGER orders_touch BEFORE INSERT ON public.orders FOR EACH ROW EXECUTE FUNCTION public.touch();
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otEntity), 2);
    EXPECT_EQ(Count(otDomain), 2) << "a domain and an enumeration; the composite type is none";
    TVELDomain* positive = dd->FindDomain("positive");
    ASSERT_NE(positive, nullptr);
    EXPECT_EQ(positive->SchemaName, "public");
    EXPECT_EQ(positive->DataType->DataType, "INTEGER");
    EXPECT_EQ(positive->DefaultValue(), "1");
    EXPECT_EQ(positive->CheckValue(), "VALUE > 0");
    TVELDomain* mood = dd->FindDomain("mood");
    ASSERT_NE(mood, nullptr);
    EXPECT_EQ(mood->DataType->Items, "'sad','ok','happy'");
    EXPECT_EQ(Column("public.orders", "amount")->DomainID, positive->ID);
    EXPECT_EQ(Column("public.orders", "feeling")->DomainID, mood->ID);

    std::vector<TVELSequence*> sequences;
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 1u);
    const TVELSequence& sequence = *sequences[0];
    EXPECT_EQ(sequence.GetName(), "orders_id_seq");
    EXPECT_EQ(sequence.Seed, 10);
    EXPECT_EQ(sequence.Increment, 2);
    EXPECT_EQ(sequence.Min, "NOMINVALUE");
    EXPECT_EQ(sequence.Max, "99999");
    EXPECT_EQ(sequence.Cache, "5");
    EXPECT_EQ(sequence.IntegerType, "INTEGER");
    TVELAttribute* id = Column("public.orders", "id");
    EXPECT_EQ(id->SequenceID, sequence.ID);
    EXPECT_TRUE(id->AutoNumber);
    EXPECT_TRUE(HasMessage("Sequence \"orders_id_seq\" associated with attribute \"id\"."));

    TVELRelationship* fk = Relationship("orders_customer_fkey");
    ASSERT_NE(fk, nullptr) << "deferred until the parent was read" << JoinStrings(parser->Messages, "\n");
    EXPECT_EQ(fk->FKConstraint->Name, "orders_customer_fkey");
    EXPECT_EQ(Pairs(*fk), Strings{"customers.id=orders.customer_id"});
    EXPECT_EQ(fk->DeleteRule, raCascade);
    EXPECT_EQ(fk->UpdateRule, raSetNull);
    EXPECT_EQ(Table("public.orders")->Attributes.Count(), 4) << "the relationship makes no columns";
    EXPECT_EQ(fk->RelationshipType, rtNonIdentifying);

    TVELEntity* customers = Table("public.customers");
    ASSERT_EQ(customers->Indexes.Count(), 1);
    const TVELIndex* byName = customers->IndexAt(0);
    EXPECT_EQ(byName->GetName(), "customers_name_idx");
    EXPECT_EQ(byName->IndexType, "UNIQUE");
    EXPECT_EQ(byName->Clustering, "btree");
    EXPECT_EQ(byName->Column(0)->SortOption, "DESC");
    EXPECT_EQ(byName->IndexOptions, "WHERE (name IS NOT NULL)");
    EXPECT_EQ(Table("public.orders")->Indexes.Count(), 1);
    EXPECT_TRUE(HasMessage("Index \"orders_customer_idx\" successfully imported."));

    std::vector<TVELView*> views;
    dd->Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Code.substr(0, 36), "CREATE VIEW %viewname% AS\r\n SELECT o");
    std::vector<TVELProcedure*> procedures;
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u) << "a trigger function is a function";
    EXPECT_EQ(procedures[0]->GetName(), "touch");
    EXPECT_NE(procedures[0]->Code.find("CREATE FUNCTION %procname%() RETURNS trigger"), std::string::npos);
    EXPECT_NE(procedures[0]->Code.find("NEW.amount := NEW.amount + 1; -- adjust"), std::string::npos)
        << procedures[0]->Code;
    TVELEntity* orders = Table("public.orders");
    ASSERT_EQ(orders->Triggers.Count(), 1);
    EXPECT_EQ(orders->TriggerAt(0)->GetName(), "orders_touch");
    EXPECT_EQ(orders->TriggerAt(0)->Code.rfind("CREATE TRIGGER %triggername% BEFORE INSERT ON public.orders", 0), 0u);
}
