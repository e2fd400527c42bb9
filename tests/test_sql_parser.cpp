#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "FullFeatureModel.h"
#include "TestImportTargets.h"
#include "TestSupport.h"
#include "zAttribute.h"
#include "zConstraint.h"
#include "zDBDrivers.h"
#include "zDataDictionary.h"
#include "zDatabaseSettings.h"
#include "zDDLUtils.h"
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

namespace {

using Strings = std::vector<std::string>;

// The shipped targets and three small ones for the dialects that ship none yet.
class SQLParserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        test::BuildImportTargets(*dir_);
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
    // The table of that name in any schema, without regard to case.
    TVELEntity* TableNamed(const std::string& name) const {
        std::vector<TVELEntity*> entities;
        dd->Entities(entities);
        for (TVELEntity* e : entities)
            if (SameText(e->GetName(), name)) return e;
        return nullptr;
    }
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
    // Sums over all tables of the model.
    struct TTotals {
        int Tables = 0, Columns = 0, Keys = 0, CompositeKeys = 0, Indexes = 0, Triggers = 0, AutoNumbers = 0;
    };
    TTotals Totals() const {
        std::vector<TVELEntity*> entities;
        dd->Entities(entities);
        TTotals t;
        t.Tables = static_cast<int>(entities.size());
        for (const TVELEntity* e : entities) {
            t.Columns += e->Attributes.Count();
            t.Keys += e->PrimaryKey->AttributeIDs.Count() > 0;
            t.CompositeKeys += e->PrimaryKey->AttributeIDs.Count() > 1;
            t.Indexes += e->Indexes.Count();
            t.Triggers += e->Triggers.Count();
            for (int i = 0; i < e->Attributes.Count(); ++i) {
                const TVELAttribute* a = e->AttributeAt(i);
                t.AutoNumbers += a->DataType->AutoNumber || a->DataType->DataType == "SERIAL";
            }
        }
        return t;
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
    EXPECT_EQ(ident->DefaultValue(), "") << "BY DEFAULT of an identity is no default value";

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
ALTER TABLE ONLY public.orders ALTER COLUMN id SET DEFAULT nextval ( 'public.orders_id_seq'::regclass);
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
CREATE TABLE public.tickets (id integer NOT NULL, n bigint NOT NULL);
ALTER TABLE public.tickets ALTER COLUMN id ADD GENERATED BY DEFAULT AS IDENTITY (
    SEQUENCE NAME public.tickets_id_seq
    START WITH 100
    INCREMENT BY 5
    NO MINVALUE
    NO MAXVALUE
    CACHE 1
);
ALTER TABLE public.tickets ALTER COLUMN n ADD GENERATED ALWAYS AS IDENTITY;
ALTER TABLE public.orders_id_seq OWNER TO postgres;
CREATE TABLE public.events (id integer NOT NULL, big bigint NOT NULL);
CREATE SEQUENCE public.events_id_seq AS integer START WITH 1 INCREMENT BY 1 NO MINVALUE NO MAXVALUE CACHE 1;
ALTER SEQUENCE public.events_id_seq OWNED BY public.events.id;
ALTER TABLE ONLY public.events ALTER COLUMN id SET DEFAULT nextval('public.events_id_seq'::regclass);
CREATE SEQUENCE public.events_big_seq START WITH 1 INCREMENT BY 1 NO MINVALUE NO MAXVALUE CACHE 1;
ALTER SEQUENCE public.events_big_seq OWNED BY public.events.big;
ALTER TABLE ONLY public.events ALTER COLUMN big SET DEFAULT nextval('public.events_big_seq'::regclass);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otEntity), 4);
    EXPECT_EQ(Count(otDomain), 2) << "a domain and an enumeration; the composite type is none";
    TVELDomain* positive = dd->FindDomain("positive");
    ASSERT_NE(positive, nullptr);
    EXPECT_EQ(positive->SchemaName, "") << "the default schema is left out, as the catalogue import does";
    EXPECT_EQ(positive->DataType->DataType, "INTEGER");
    EXPECT_EQ(positive->DefaultValue(), "1");
    EXPECT_EQ(positive->CheckValue(), "VALUE > 0");
    TVELDomain* mood = dd->FindDomain("mood");
    ASSERT_NE(mood, nullptr);
    EXPECT_EQ(mood->DataType->Items, "'sad','ok','happy'");
    EXPECT_EQ(Column("orders", "amount")->DomainID, positive->ID);
    EXPECT_EQ(Column("orders", "feeling")->DomainID, mood->ID);

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
    TVELAttribute* id = Column("orders", "id");
    EXPECT_EQ(id->SequenceID, sequence.ID);
    EXPECT_TRUE(id->AutoNumber);
    EXPECT_TRUE(HasMessage("Sequence \"orders_id_seq\" associated with attribute \"id\"."));

    TVELRelationship* fk = Relationship("orders_customer_fkey");
    ASSERT_NE(fk, nullptr) << "deferred until the parent was read" << JoinStrings(parser->Messages, "\n");
    EXPECT_EQ(fk->FKConstraint->Name, "orders_customer_fkey");
    EXPECT_EQ(Pairs(*fk), Strings{"customers.id=orders.customer_id"});
    EXPECT_EQ(fk->DeleteRule, raCascade);
    EXPECT_EQ(fk->UpdateRule, raSetNull);
    EXPECT_EQ(Table("orders")->Attributes.Count(), 4) << "the relationship makes no columns";
    EXPECT_EQ(fk->RelationshipType, rtNonIdentifying);

    TVELEntity* customers = Table("customers");
    ASSERT_EQ(customers->Indexes.Count(), 1);
    const TVELIndex* byName = customers->IndexAt(0);
    EXPECT_EQ(byName->GetName(), "customers_name_idx");
    EXPECT_EQ(byName->IndexType, "UNIQUE");
    EXPECT_EQ(byName->Clustering, "") << "B-tree is the default method";
    EXPECT_EQ(byName->Column(0)->SortOption, "DESC");
    EXPECT_EQ(byName->IndexOptions, "WHERE (name IS NOT NULL)");
    EXPECT_EQ(Table("orders")->Indexes.Count(), 1);
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
    TVELEntity* orders = Table("orders");
    ASSERT_EQ(orders->Triggers.Count(), 1);
    EXPECT_EQ(orders->TriggerAt(0)->GetName(), "orders_touch");
    EXPECT_EQ(orders->TriggerAt(0)->Code.rfind("CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename%", 0), 0u);

    // Identities the dump adds to columns of tables made before.
    const TVELDataType& ticket = *Column("tickets", "id")->DataType;
    EXPECT_TRUE(ticket.AutoNumber);
    EXPECT_EQ(ticket.Seed, 100);
    EXPECT_EQ(ticket.Increment, 5);
    const TVELDataType& n = *Column("tickets", "n")->DataType;
    EXPECT_TRUE(n.AutoNumber);
    EXPECT_EQ(n.Seed, 1);
    EXPECT_EQ(n.Increment, 1);
    EXPECT_EQ(Count(otSequence), 1) << "an identity's sequence is the column's, and so is a serial one's";
    // A sequence as SERIAL makes it, owned by its column: the column is a serial one. One with
    // numbers of its own (orders_id_seq) stays a sequence.
    EXPECT_EQ(Column("events", "id")->DataType->DataType, "SERIAL");
    EXPECT_EQ(Column("events", "big")->DataType->DataType, "BIGSERIAL");
    EXPECT_EQ(Column("events", "id")->DefaultValue(), "");
    EXPECT_EQ(Column("events", "id")->SequenceID, -1);
}

TEST_F(SQLParserTest, MySQLTablesWithOptionsCommentsAndAutoIncrement) {
    Import("mysql8", R"SQL(
SET NAMES utf8mb4;
/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;
CREATE TABLE `film` (
  `film_id` SMALLINT(5) UNSIGNED ZEROFILL NOT NULL AUTO_INCREMENT COMMENT 'the key',
  `title` VARCHAR(255) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin NOT NULL,
  `rating` ENUM('G','PG','PG-13') DEFAULT 'G',
  `features` SET('Trailers','Deleted Scenes') DEFAULT NULL,
  `note` VARCHAR(20) DEFAULT 'it''s',
  `price` DECIMAL(4,2) NOT NULL DEFAULT 4.99,
  `last_update` TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP,
  `language_id` TINYINT UNSIGNED NOT NULL,
  PRIMARY KEY (`film_id`),
  UNIQUE KEY `uq_title` (`title`(50)),
  KEY `idx_language` (`language_id`) USING BTREE,
  FULLTEXT KEY `ft_title` (`title`),
  CONSTRAINT `fk_film_language` FOREIGN KEY (`language_id`) REFERENCES `language` (`language_id`) ON UPDATE CASCADE
) ENGINE=InnoDB AUTO_INCREMENT=1001 DEFAULT CHARSET=utf8mb4 COMMENT='Films; all of them';
CREATE TABLE `language` (
  `language_id` TINYINT UNSIGNED NOT NULL AUTO_INCREMENT,
  `name` CHAR(20) NOT NULL,
  PRIMARY KEY (`language_id`)
) ENGINE = MyISAM COMMENT = 'Languages';
ALTER TABLE `language` ADD UNIQUE INDEX `uq_name` (`name`), ADD KEY `idx_name_desc` (`name` DESC);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELEntity* film = Table("film");
    ASSERT_NE(film, nullptr);
    EXPECT_EQ(film->Comment, "Films; all of them");
    EXPECT_EQ(film->TableOptions, "ENGINE=InnoDB AUTO_INCREMENT=1001 DEFAULT CHARSET=utf8mb4");
    EXPECT_EQ(Table("language")->Comment, "Languages");
    EXPECT_EQ(Table("language")->TableOptions, "ENGINE = MyISAM");

    TVELAttribute* id = Column("film", "film_id");
    EXPECT_EQ(id->DataType->DataType, "SMALLINT");
    EXPECT_EQ(id->DataType->Length, "0") << "display widths are not kept";
    EXPECT_TRUE(id->DataType->Unsigned);
    EXPECT_TRUE(id->DataType->ZeroFill);
    EXPECT_TRUE(id->DataType->AutoNumber);
    EXPECT_EQ(id->DataType->Seed, 0);
    EXPECT_EQ(id->DataType->Increment, 1);
    EXPECT_EQ(id->Comment, "the key");
    EXPECT_TRUE(id->IsPrimaryKey());
    TVELAttribute* title = Column("film", "title");
    EXPECT_EQ(title->DataType->CharacterSet, "utf8mb4");
    EXPECT_EQ(title->Collate, "utf8mb4_bin");
    EXPECT_TRUE(title->IsNotNull());
    TVELAttribute* rating = Column("film", "rating");
    EXPECT_EQ(rating->DataType->DataType, "ENUM");
    EXPECT_EQ(rating->DataType->Items, "'G','PG','PG-13'");
    EXPECT_EQ(rating->DefaultValue(), "'G'");
    EXPECT_EQ(Column("film", "features")->DataType->Items, "'Trailers','Deleted Scenes'");
    EXPECT_EQ(Column("film", "features")->DefaultValue(), "") << "a default of NULL is no default";
    EXPECT_EQ(Column("film", "note")->DefaultValue(), "'it\\'s'") << "MySQL writes the apostrophe escaped";
    TVELAttribute* price = Column("film", "price");
    EXPECT_EQ(price->DataType->Length, "4");
    EXPECT_EQ(price->DataType->Precision, 2);
    EXPECT_EQ(price->DefaultValue(), "4.99");
    TVELAttribute* updated = Column("film", "last_update");
    EXPECT_EQ(updated->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(updated->AttributeOptions, "ON UPDATE CURRENT_TIMESTAMP");

    ASSERT_EQ(film->Indexes.Count(), 3);
    EXPECT_EQ(film->IndexAt(0)->GetName(), "uq_title");
    EXPECT_EQ(film->IndexAt(0)->IndexType, "UNIQUE");
    EXPECT_EQ(film->IndexAt(0)->Column(0)->GetAttribute(), title);
    EXPECT_EQ(film->IndexAt(1)->GetName(), "idx_language");
    EXPECT_EQ(film->IndexAt(1)->IndexOptions, "USING BTREE");
    EXPECT_EQ(film->IndexAt(2)->IndexType, "FULLTEXT");
    EXPECT_EQ(film->Constraints.Count(), 0) << "UNIQUE KEY is an index";
    TVELEntity* language = Table("language");
    ASSERT_EQ(language->Indexes.Count(), 2) << "both clauses of the ALTER TABLE";
    EXPECT_EQ(language->IndexAt(0)->IndexType, "UNIQUE");
    EXPECT_EQ(language->IndexAt(1)->Column(0)->SortOption, "DESC");

    TVELRelationship* fk = Relationship("fk_film_language");
    ASSERT_NE(fk, nullptr);
    EXPECT_EQ(Pairs(*fk), Strings{"language.language_id=film.language_id"});
    EXPECT_EQ(fk->UpdateRule, raCascade);
    EXPECT_EQ(fk->DeleteRule, raRestrict) << "MySQL restricts when no rule is given";
}

TEST_F(SQLParserTest, MySQLDelimitedRoutinesTriggersAndViews) {
    Import("mariadb10", R"SQL(
CREATE TABLE t (id INT NOT NULL PRIMARY KEY, qty INT);
DELIMITER ;;
CREATE DEFINER=`root`@`localhost` TRIGGER `t_before` BEFORE INSERT ON `t` FOR EACH ROW BEGIN
  SET NEW.qty = IFNULL(NEW.qty, 0);
END;;
DELIMITER ;
DELIMITER //
CREATE PROCEDURE `fill`(IN n INT)
BEGIN
  DECLARE i INT DEFAULT 0;
  WHILE i < n DO
    INSERT INTO t VALUES (i, i); SET i = i + 1;
  END WHILE;
END //
CREATE FUNCTION twice(x INT) RETURNS INT DETERMINISTIC RETURN x * 2 //
DELIMITER ;
CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `v_t` AS select `t`.`id` AS `id` from `t`;
CREATE OR REPLACE VIEW v_two AS SELECT twice(qty) FROM t;
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    ASSERT_EQ(Table("t")->Triggers.Count(), 1);
    EXPECT_EQ(Table("t")->TriggerAt(0)->GetName(), "t_before");
    EXPECT_NE(Table("t")->TriggerAt(0)->Code.find("SET NEW.qty = IFNULL(NEW.qty, 0);"), std::string::npos);
    std::vector<TVELProcedure*> procedures;
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 2u);
    EXPECT_EQ(procedures[0]->GetName(), "fill");
    EXPECT_NE(procedures[0]->Code.find("END WHILE;"), std::string::npos);
    EXPECT_EQ(procedures[0]->Code.rfind("CREATE PROCEDURE %procname%(IN n INT)", 0), 0u);
    EXPECT_EQ(procedures[1]->GetName(), "twice");
    std::vector<TVELView*> views;
    dd->Views(views);
    ASSERT_EQ(views.size(), 2u);
    EXPECT_EQ(views[0]->GetName(), "v_t");
    EXPECT_EQ(views[1]->Code, "CREATE OR REPLACE VIEW %viewname% AS SELECT twice(qty) FROM t");
}

TEST_F(SQLParserTest, SQLiteInlineKeysAndAutoIncrement) {
    Import("sqlite3", R"SQL(
PRAGMA foreign_keys = ON;
CREATE TABLE IF NOT EXISTS "Track" (
    "TrackId" INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,
    "AlbumId" INTEGER REFERENCES "Album" ("AlbumId") ON DELETE SET DEFAULT,
    "Name" NVARCHAR(200)  NOT NULL,
    "Kind" TEXT NOT NULL DEFAULT 'audio' CHECK ("Kind" IN ('audio', 'video')),
    FOREIGN KEY ([Name]) REFERENCES [Names]
);
CREATE TABLE [Album] ([AlbumId] INTEGER NOT NULL, [Title] NVARCHAR(160), CONSTRAINT [PK_Album] PRIMARY KEY ([AlbumId]));
CREATE TABLE [Names] ([Name] NVARCHAR(200) PRIMARY KEY);
CREATE TEMP TABLE scratch (x);
CREATE UNIQUE INDEX IF NOT EXISTS "IX_Track_Name" ON "Track" ("Name" COLLATE NOCASE ASC);
CREATE TABLE kv (k PRIMARY KEY NOT NULL, v);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otEntity), 4);
    EXPECT_EQ(Names(*Table("kv")), (Strings{"k", "v"}));
    EXPECT_EQ(KeyNames(*Table("kv")), Strings{"k"}) << "a column without a type";
    EXPECT_NE(Column("kv", "k")->DataType->DataType, "PRIMARY");
    EXPECT_TRUE(Column("kv", "k")->IsNotNull());
    TVELAttribute* id = Column("Track", "TrackId");
    EXPECT_TRUE(id->IsPrimaryKey());
    EXPECT_TRUE(id->DataType->AutoNumber);
    EXPECT_TRUE(id->IsNotNull());
    TVELAttribute* name = Column("Track", "Name");
    EXPECT_TRUE(name->IsNotNull()) << "two blanks before NOT NULL";
    TVELAttribute* kind = Column("Track", "Kind");
    EXPECT_EQ(kind->DefaultValue(), "'audio'");
    EXPECT_EQ(kind->CheckValue(), "\"Kind\" IN ('audio', 'video')");
    ASSERT_EQ(Relationships().size(), 2u);
    TVELRelationship* album = Relationships()[0];
    EXPECT_EQ(Pairs(*album), Strings{"Album.AlbumId=Track.AlbumId"});
    EXPECT_EQ(album->DeleteRule, raSetDefault);
    EXPECT_EQ(album->UpdateRule, raNone);
    EXPECT_EQ(album->FKConstraint->Name, "");
    EXPECT_TRUE(album->NameFromTemplate) << "an unnamed key takes the name template";
    EXPECT_EQ(Pairs(*Relationships()[1]), Strings{"Names.Name=Track.Name"})
        << "without parent columns the parent's key is taken";
    ASSERT_EQ(Table("Track")->Indexes.Count(), 1);
    EXPECT_EQ(Table("Track")->IndexAt(0)->Column(0)->SortOption, "ASC");
}

TEST_F(SQLParserTest, SQLServerBatchesIdentityDefaultsRulesAndExtendedProperties) {
    Import("mssqlserver2019", R"SQL(
SET ANSI_NULLS ON
GO
CREATE RULE [dbo].[r_positive] AS @value > 0
GO
CREATE DEFAULT [dbo].[d_zero] AS 0
GO
EXEC sp_addtype N'Phone', N'nvarchar(24)', N'NULL'
GO
CREATE TYPE [dbo].[Money2] FROM [decimal](10, 2) NOT NULL
GO
CREATE TABLE [dbo].[Order Details] (
    [OrderID] [int] IDENTITY(100,5) NOT NULL,
    [Seq] INT IDENTITY NOT NULL,
    [Qty] [int] NOT NULL CONSTRAINT [DF_Qty] DEFAULT ((0)),
    [Price] [Money2] NULL,
    [Notes] NVARCHAR(MAX) NULL,
    [Phone] Phone,
    [Total] AS ([Qty]*[Price]),
    CONSTRAINT [PK_Order Details] PRIMARY KEY CLUSTERED ([OrderID] ASC, [Seq] ASC) WITH (PAD_INDEX = OFF) ON [PRIMARY]
) ON [PRIMARY]
GO
ALTER TABLE [dbo].[Order Details] ADD CONSTRAINT [DF_Notes] DEFAULT (N'none') FOR [Notes]
GO
ALTER TABLE [dbo].[Order Details] WITH CHECK ADD CONSTRAINT [CK_Qty] CHECK (([Qty]>=(0)))
GO
ALTER TABLE [dbo].[Order Details] CHECK CONSTRAINT [CK_Qty]
GO
EXEC sp_bindrule N'[dbo].[r_positive]', N'[Order Details].[Qty]'
GO
EXEC sp_bindefault 'd_zero', 'Phone'
GO
CREATE NONCLUSTERED INDEX [IX_Qty] ON [dbo].[Order Details] ([Qty] DESC) INCLUDE ([Price])
GO
EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'Lines of orders' , @level0type=N'SCHEMA',@level0name=N'dbo', @level1type=N'TABLE',@level1name=N'Order Details'
GO
EXEC sp_addextendedproperty 'MS_Description', 'How many', 'SCHEMA', 'dbo', 'TABLE', 'Order Details', 'COLUMN', 'Qty'
GO
CREATE PROCEDURE [dbo].[usp_Count] @min int AS
BEGIN
  SET NOCOUNT ON;
  SELECT COUNT(*) FROM [dbo].[Order Details] WHERE [Qty] > @min;
END
GO
CREATE TRIGGER [dbo].[trg_Order] ON [dbo].[Order Details] FOR INSERT AS
BEGIN
  SET NOCOUNT ON;
END
GO
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELEntity* details = Table("dbo.Order Details");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->SchemaName, "dbo");
    EXPECT_EQ(details->Comment, "Lines of orders");
    EXPECT_EQ(details->TableOptions, "ON [PRIMARY]");
    EXPECT_EQ(KeyNames(*details), (Strings{"OrderID", "Seq"}));
    EXPECT_EQ(details->PrimaryKey->GetName(), "PK_Order Details");
    EXPECT_EQ(details->PrimaryKey->PKClustering, "CLUSTERED");

    TVELAttribute* order = Column("dbo.Order Details", "OrderID");
    EXPECT_EQ(order->DataType->DataType, "INT");
    EXPECT_TRUE(order->DataType->AutoNumber);
    EXPECT_EQ(order->DataType->Seed, 100);
    EXPECT_EQ(order->DataType->Increment, 5);
    TVELAttribute* seq = Column("dbo.Order Details", "Seq");
    EXPECT_TRUE(seq->DataType->AutoNumber);
    EXPECT_EQ(seq->DataType->Seed, 0);
    EXPECT_EQ(seq->DataType->Increment, 1);
    TVELAttribute* qty = Column("dbo.Order Details", "Qty");
    EXPECT_EQ(qty->DefaultValue(), "0");
    EXPECT_EQ(qty->DefaultConstraint()->GetName(), "DF_Qty");
    EXPECT_TRUE(qty->IsNotNull());
    EXPECT_EQ(qty->CheckValue(), "@value > 0") << "the bound rule";
    EXPECT_EQ(qty->Comment, "How many");
    TVELAttribute* notes = Column("dbo.Order Details", "Notes");
    EXPECT_EQ(notes->DataType->DataType, "NVARCHAR(MAX)") << "a type of the target's own";
    EXPECT_EQ(notes->DataType->Length, "0");
    EXPECT_EQ(notes->DefaultValue(), "N'none'");
    EXPECT_EQ(notes->DefaultConstraint()->GetName(), "DF_Notes");
    TVELAttribute* total = Column("dbo.Order Details", "Total");
    EXPECT_EQ(total->DataType->DataType, "COMPUTED") << "the target's computed type";
    EXPECT_EQ(total->DataType->Expression, "([Qty]*[Price])");

    TVELDomain* money = dd->FindDomain("Money2");
    ASSERT_NE(money, nullptr);
    EXPECT_EQ(money->DataType->DataType, "DECIMAL");
    EXPECT_EQ(money->DataType->Length, "10");
    EXPECT_EQ(money->DataType->Precision, 2);
    EXPECT_EQ(Column("dbo.Order Details", "Price")->DomainID, money->ID);
    TVELDomain* phone = dd->FindDomain("Phone");
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->DataType->DataType, "NVARCHAR");
    EXPECT_EQ(phone->DataType->Length, "24");
    EXPECT_EQ(phone->DefaultValue(), "0") << "the bound default";
    EXPECT_EQ(Column("dbo.Order Details", "Phone")->DomainID, phone->ID);
    EXPECT_EQ(parser->Rules.GetValue("r_positive"), "@value > 0");
    EXPECT_EQ(parser->Rules.GetValue("d_zero"), "0");

    ASSERT_EQ(details->Constraints.Count(), 1) << "CHECK CONSTRAINT only enables the check";
    EXPECT_EQ(details->ConstraintAt(0)->GetName(), "CK_Qty");
    EXPECT_EQ(details->ConstraintAt(0)->Value, "[Qty]>=(0)");
    ASSERT_EQ(details->Indexes.Count(), 1);
    const TVELIndex* index = details->IndexAt(0);
    EXPECT_EQ(index->Clustering, "NONCLUSTERED");
    EXPECT_EQ(index->IndexOptions, "INCLUDE ([Price])");
    EXPECT_EQ(index->Column(0)->SortOption, "DESC");

    std::vector<TVELProcedure*> procedures;
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures[0]->GetName(), "usp_Count");
    EXPECT_EQ(procedures[0]->SchemaName, "dbo");
    EXPECT_NE(procedures[0]->Code.find("WHERE [Qty] > @min;\r\nEND"), std::string::npos) << procedures[0]->Code;
    ASSERT_EQ(details->Triggers.Count(), 1);
    EXPECT_EQ(details->TriggerAt(0)->GetName(), "trg_Order");
}

TEST_F(SQLParserTest, OracleSequencesTriggersAndComments) {
    Import("oracle19", R"SQL(
REM The schema of the test
PROMPT Creating tables
CREATE SEQUENCE hr.emp_seq START WITH 1000 INCREMENT BY 10 MINVALUE 1 NOMAXVALUE NOCACHE NOCYCLE ORDER;
CREATE SEQUENCE hr.dept_seq;
CREATE TABLE hr.departments (
    department_id NUMBER(4) DEFAULT hr.dept_seq.NEXTVAL CONSTRAINT dept_id_nn NOT NULL,
    name VARCHAR2(30 CHAR) CONSTRAINT dept_name_nn NOT NULL,
    CONSTRAINT dept_pk PRIMARY KEY (department_id)
);
CREATE TABLE hr.employees (
    employee_id NUMBER(6) NOT NULL,
    department_id NUMBER(4) CONSTRAINT emp_dept_fk REFERENCES hr.departments,
    salary NUMBER(8,2) CONSTRAINT emp_salary_min CHECK (salary > 0),
    CONSTRAINT emp_pk PRIMARY KEY (employee_id)
);
COMMENT ON TABLE hr.employees IS 'The staff';
COMMENT ON COLUMN hr.employees.salary IS 'Monthly';
CREATE OR REPLACE TRIGGER hr.emp_bi
BEFORE INSERT ON hr.employees
FOR EACH ROW
BEGIN
  IF :new.employee_id IS NULL THEN
    SELECT hr.emp_seq.NEXTVAL INTO :new.employee_id FROM dual;
  END IF;
END;
/
CREATE OR REPLACE PROCEDURE hr.raise (p_id NUMBER) IS
BEGIN
  UPDATE hr.employees SET salary = salary * 1.1 WHERE employee_id = p_id;
END;
/
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    std::vector<TVELSequence*> sequences;
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 2u);
    const TVELSequence& emp = *sequences[0];
    EXPECT_EQ(emp.SchemaName, "hr");
    EXPECT_EQ(emp.Seed, 1000);
    EXPECT_EQ(emp.Increment, 10);
    EXPECT_EQ(emp.Min, "1");
    EXPECT_EQ(emp.Max, "NOMAXVALUE");
    EXPECT_EQ(emp.CacheCode, "NOCACHE");
    EXPECT_EQ(emp.Cycle, "nocycle");
    EXPECT_EQ(emp.Order, "order");
    EXPECT_EQ(sequences[1]->Min, "NOMINVALUE");

    TVELAttribute* deptId = Column("hr.departments", "department_id");
    EXPECT_EQ(deptId->SequenceID, sequences[1]->ID) << "seq.NEXTVAL names the sequence";
    EXPECT_TRUE(deptId->IsNotNull());
    EXPECT_EQ(deptId->NotNullConstraint()->Name, "dept_id_nn");
    EXPECT_EQ(deptId->DataType->DataType, "NUMBER");
    EXPECT_EQ(deptId->DataType->Length, "4");
    TVELAttribute* name = Column("hr.departments", "name");
    EXPECT_EQ(name->DataType->DataType, "VARCHAR2");
    EXPECT_EQ(name->DataType->Length, "30");
    EXPECT_EQ(name->NotNullConstraint()->Name, "dept_name_nn");
    TVELAttribute* salary = Column("hr.employees", "salary");
    EXPECT_EQ(salary->DataType->Length, "8");
    EXPECT_EQ(salary->DataType->Precision, 2);
    EXPECT_EQ(salary->CheckConstraint()->GetName(), "emp_salary_min");
    EXPECT_EQ(salary->Comment, "Monthly");
    EXPECT_EQ(Table("hr.employees")->Comment, "The staff");

    TVELRelationship* fk = Relationship("emp_dept_fk");
    ASSERT_NE(fk, nullptr);
    EXPECT_EQ(Pairs(*fk), Strings{"departments.department_id=employees.department_id"});

    TVELEntity* employees = Table("hr.employees");
    ASSERT_EQ(employees->Triggers.Count(), 1);
    EXPECT_EQ(employees->TriggerAt(0)->GetName(), "emp_bi");
    EXPECT_EQ(employees->TriggerAt(0)->Code.rfind("CREATE OR REPLACE TRIGGER %triggername%\r\nBEFORE INSERT", 0), 0u)
        << employees->TriggerAt(0)->Code;
    std::vector<TVELProcedure*> procedures;
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures[0]->Code.rfind("CREATE OR REPLACE PROCEDURE %procname% (p_id NUMBER) IS", 0), 0u);
}

TEST_F(SQLParserTest, BadStatementsAreReportedAndSkipped) {
    Import("mssqlserver2019", R"SQL(
CREATE TABLE parent (id INT NOT NULL, code INT, CONSTRAINT pk_parent PRIMARY KEY (id))
GO
CREATE TABLE child (id INT, pid INT, CONSTRAINT pk_child PRIMARY KEY, CONSTRAINT uq_child UNIQUE)
GO
ALTER TABLE child ADD CONSTRAINT fk_nowhere FOREIGN KEY (pid) REFERENCES nowhere (id)
GO
ALTER TABLE child ADD CONSTRAINT fk_count FOREIGN KEY (pid) REFERENCES parent (id, code)
GO
ALTER TABLE missing ADD CONSTRAINT pk_missing PRIMARY KEY (id)
GO
CREATE INDEX ix_no_table (id)
GO
CREATE INDEX ix_bad_table ON [dbo].[nowhere] (id)
GO
CREATE INDEX ix_no_columns ON child (nosuchcolumn)
GO
CREATE TRIGGER tr_bad ON nowhere FOR INSERT AS SELECT 1
GO
CREATE RULE r_bad
GO
CREATE DEFAULT d_bad
GO
CREATE DOMAIN
GO
CREATE DOMAIN d_untyped
GO
EXEC sp_addtype
GO
EXEC sp_addtype N'NoType'
GO
CREATE TABLE after_errors (id INT)
GO
)SQL");
    EXPECT_EQ(problems, (Strings{
                            "Error: Primary Key columns not found for Primary Key constraint \"pk_child\".",
                            "Error: Invalid UNIQUE table constraint (\"uq_child\"). Constraint contains no columns.",
                            "Error: Invalid relationship \"fk_count\" between \"child\" and \"parent\". Number of "
                            "parent columns and child columns differ.",
                            "Error: Unable to add constraint defined in alter table statement because table "
                            "\"missing\" can't be found.",
                            "Error: Table in index \"ix_no_table\" not defined.",
                            "Error: Invalid index \"ix_bad_table\". Table \"dbo.nowhere\" not found in list of tables.",
                            "Error: Index columns for index \"ix_no_columns\" not found.",
                            "Error: Invalid trigger \"tr_bad\". Table \"nowhere\" not found in list of tables.",
                            "Error: Invalid CREATE RULE statement found.",
                            "Error: Invalid CREATE DEFAULT statement found.",
                            "Error: Invalid CREATE DOMAIN statement found.",
                            "Error: Invalid CREATE DOMAIN statement for domain \"d_untyped\".",
                            "Error: Invalid CREATE TYPE statement found.",
                            "Error: Invalid CREATE DOMAIN statement for domain \"NoType\".",
                            "Error: Invalid relationship \"fk_nowhere\". Parent entity (\"nowhere\") not found.",
                        }));
    EXPECT_EQ(parser->ErrorCount(), 15);
    EXPECT_TRUE(HasMessage("Error : child : Primary Key columns not found for Primary Key constraint \"pk_child\"."))
        << "a message about a table names it";
    EXPECT_TRUE(HasMessage("Error : Table in index \"ix_no_table\" not defined."));
    EXPECT_NE(Table("after_errors"), nullptr) << "the import goes on after bad statements";
    EXPECT_TRUE(Relationships().empty());
    EXPECT_EQ(Table("child")->Indexes.Count(), 0);
}

TEST_F(SQLParserTest, MessagesGoToTheEventAndTheLines) {
    TVELDataDictionary model;
    model.SetTarget("postgresql15");
    TVELSQLParser p(&model);
    std::vector<std::pair<int, TVELNamedObject*>> seen;
    p.OnMessage = [&](TVELSQLParser* sender, int level, const std::string&, TVELNamedObject* object) {
        EXPECT_EQ(sender, &p);
        seen.emplace_back(level, object);
    };
    TVELEntity* table = static_cast<TVELEntity*>(NewImportedObject(model, otEntity, "s", "t"));
    p.Message(mlWarning, "first\r\nsecond", table);
    p.Message(mlError, "bad", nullptr);
    EXPECT_EQ(p.Messages, (Strings{"s.t : first\r\nsecond", "", "Error : bad"}));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, mlWarning);
    EXPECT_EQ(seen[0].second, table);
    EXPECT_EQ(p.ErrorCount(), 1);

    model.SetTarget("testnodriver");
    p.Script = "CREATE TABLE t (a INT);";
    try {
        p.Import();
        ADD_FAILURE() << "an unknown driver ends the import";
    } catch (const EVELError& e) {
        EXPECT_STREQ(e.what(), "Invalid database driver. Database driver \"nosuchdriver\" not found.");
    }
    EXPECT_EQ(model.Count(), 1) << "nothing was read";

    model.SetTarget("postgresql15");
    p.Script = "CREATE TABLE u (a INT PRIMARY KEY, b INT REFERENCES w);\nCREATE INDEX ix ON u (b);\n"
               "CREATE TABLE w (id INT PRIMARY KEY);";
    Strings added;
    p.OnObjectAdded = [&](TVELSQLParser*, TVELNamedObject* object) {
        added.push_back(ObjectTypeInfo(static_cast<TVELDatabaseObject*>(object)->ObjectType).Element +
                        std::string(" ") + object->GetName());
    };
    p.Import();
    ASSERT_EQ(added.size(), 7u);
    EXPECT_EQ(Strings(added.begin(), added.end() - 1),
              (Strings{"ENT u", "ATTR a", "ATTR b", "INDEX ix", "ENT w", "ATTR id"}));
    EXPECT_EQ(added.back().substr(0, 4), "REL ") << "the deferred key comes last";
    EXPECT_FALSE(model.Loading) << "the model is no longer treated as loading";
    EXPECT_EQ(p.ErrorCount(), 0) << "counted anew";
}

TEST_F(SQLParserTest, EdgeCasesOfColumnsAndStatements) {
    const std::string padding(2100, ' ');
    Import("mssqlserver2019", "CREATE TABLE t (\r\n"
                        "  a INT CONSTRAINT nn_a NOT NULL,\r\n"
                        "  b INT CONSTRAINT nn_b  NOT NULL,\r\n"
                        "  c DOUBLE PRECISION,\r\n"
                        "  g MONEY SPARSE,\r\n"
                        "  d DECIMAL(10, 2) DEFAULT NULL,\r\n"
                        "  e NVARCHAR(10) DEFAULT '',\r\n"
                        "  f INT NULL DEFAULT (((1)))\r\n"
                        ")\r\nGO\r\n"
                        "EXEC sp_addextendedproperty 'MS_Description', 'long'," + padding +
                            "'SCHEMA', 'dbo', 'TABLE', 't'\r\nGO\r\n"
                            "INSERT INTO t (a) VALUES (1)" + padding + "\r\nGO\r\n");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Column("t", "a")->NotNullConstraint()->Name, "nn_a");
    EXPECT_TRUE(Column("t", "b")->IsNotNull());
    EXPECT_TRUE(Column("t", "b")->NotNullConstraint()->NameFromTemplate)
        << "the name is taken only when single blanks separate the words";
    EXPECT_EQ(Column("t", "c")->DataType->DataType, "FLOAT") << "a synonym of two words";
    EXPECT_EQ(Column("t", "g")->DataType->DataType, "MONEY") << "the target knows no MONEY SPARSE";
    EXPECT_EQ(Column("t", "d")->DataType->Length, "10");
    EXPECT_EQ(Column("t", "d")->DataType->Precision, 2);
    EXPECT_EQ(Column("t", "d")->DefaultValue(), "");
    EXPECT_EQ(Column("t", "e")->DefaultValue(), "''");
    EXPECT_EQ(Column("t", "f")->DefaultValue(), "(1)") << "two pairs of parentheses at most";
    EXPECT_FALSE(Column("t", "f")->IsNotNull());
    EXPECT_EQ(Table("t")->Comment, "") << "a long statement without CREATE or ALTER is not read";
}

TEST_F(SQLParserTest, OptionsSwitchFeaturesOff) {
    const std::string script = R"SQL(
CREATE TABLE p (id INT PRIMARY KEY, code INT UNIQUE, CHECK (code > 0));
CREATE TABLE c (id INT PRIMARY KEY, pid INT REFERENCES p (id));
CREATE INDEX ix_c ON c (pid);
CREATE VIEW v AS SELECT * FROM c;
CREATE FUNCTION f() RETURNS int AS $$ SELECT 1 $$ LANGUAGE sql;
CREATE TRIGGER tr AFTER INSERT ON c FOR EACH ROW EXECUTE FUNCTION f();
CREATE SEQUENCE s;
)SQL";
    Import("postgresql15", script);
    EXPECT_EQ(Count(otRelationship) + Count(otView) + Count(otProcedure) + Count(otSequence), 4);
    EXPECT_EQ(Table("c")->Indexes.Count() + Table("c")->Triggers.Count() + Table("p")->Constraints.Count(), 4);
    TVELSettingsList off;
    for (const char* option : {"RevEngRelationships", "RevEngUniqueConstraints", "RevEngCheckConstraints",
                               "RevEngIndexes", "RevEngProcedures", "RevEngViews", "RevEngTriggers", "RevEngSequences"})
        off.SetValue(option, "0");
    Import("postgresql15", script, off);
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otEntity), 2);
    EXPECT_EQ(Count(otRelationship) + Count(otView) + Count(otProcedure) + Count(otSequence), 0);
    EXPECT_EQ(Table("c")->Indexes.Count() + Table("c")->Triggers.Count() + Table("p")->Constraints.Count(), 0);
}

TEST_F(SQLParserTest, CompletionOrdersKeysDropsCoveringIndexesAndKeepsNamesWhenAsked) {
    const std::string script = R"SQL(
CREATE TABLE p (a INT, b INT, u INT, CONSTRAINT pk PRIMARY KEY (b, a), CONSTRAINT uq UNIQUE (u));
CREATE TABLE c (id INT PRIMARY KEY, pa INT, pb INT, FOREIGN KEY (pb, pa) REFERENCES p (b, a));
CREATE INDEX ix_pk ON p (a, b);
CREATE INDEX ix_uq ON p (u);
CREATE INDEX ix_other ON p (u, a);
CREATE INDEX ix_fk ON c (pa, pb);
CREATE VIEW v AS SELECT v FROM p;
CREATE TRIGGER tr AFTER INSERT ON p FOR EACH ROW EXECUTE FUNCTION fn();
CREATE FUNCTION fn() RETURNS trigger AS $$ BEGIN RETURN NEW; END $$ LANGUAGE plpgsql;
CREATE DOMAIN counter AS integer(5);
)SQL";
    Import("postgresql15", script);
    TVELEntity* p = Table("p");
    EXPECT_EQ(KeyNames(*p), (Strings{"a", "b"})) << "key columns in the order of the columns";
    EXPECT_EQ(p->Indexes.Count(), 3);
    EXPECT_EQ(Table("c")->Indexes.Count(), 1);
    EXPECT_EQ(dd->FindDomain("counter")->DataType->Length, "0") << "INTEGER takes no length";
    std::vector<TVELView*> views;
    dd->Views(views);
    EXPECT_EQ(views[0]->Code, "CREATE VIEW %viewname% AS SELECT v FROM p");

    TVELSettingsList options;
    options.SetValue("RevEngIndexesOnPK", "0");
    options.SetValue("RevEngIndexesOnAK", "0");
    options.SetValue("RevEngIndexesOnFK", "0");
    options.SetValue("DoNotReplaceNamesByParams", "1");
    Import("postgresql15", script, options);
    ASSERT_EQ(Table("p")->Indexes.Count(), 1);
    EXPECT_EQ(Table("p")->IndexAt(0)->GetName(), "ix_other");
    EXPECT_EQ(Table("c")->Indexes.Count(), 0);
    dd->Views(views);
    EXPECT_EQ(views[0]->Code, "CREATE VIEW v AS SELECT v FROM p");
    EXPECT_EQ(Table("p")->TriggerAt(0)->Code.rfind("CREATE TRIGGER tr ", 0), 0u);
}

namespace {

std::string Corpus(const std::string& path) {
    return test::ReadFile(test::SourceDir() + "/../shared/corpus/" + path);
}

struct TCorpusCase {
    const char* File;
    const char* Target;
    int Indexes;     // CREATE INDEX statements of the script
    int AutoNumbers; // identity, auto-increment and serial columns
};

} // namespace

// Every Chinook script: eleven tables with 64 columns, eleven primary keys (one of two columns)
// and eleven foreign keys, read without an error.
TEST_F(SQLParserTest, ChinookInEveryDialect) {
    const TCorpusCase cases[] = {
        {"chinook/Chinook_Db2.sql", "db2luw11", 11, 0},
        {"chinook/Chinook_MySql.sql", "mysql8", 11, 0},
        {"chinook/Chinook_MySql_AutoIncrementPKs.sql", "mariadb10", 11, 10},
        {"chinook/Chinook_Oracle.sql", "oracle19", 0, 0},
        {"chinook/Chinook_PostgreSql.sql", "postgresql15", 11, 0},
        {"chinook/Chinook_PostgreSql_AutoIncrementPKs.sql", "postgresql15", 11, 10},
        {"chinook/Chinook_PostgreSql_SerialPKs.sql", "postgresql15", 11, 10},
        {"chinook/Chinook_SqlServer.sql", "mssqlserver2019", 11, 0},
        {"chinook/Chinook_SqlServer_AutoIncrementPKs.sql", "mssqlserver2019", 11, 10},
        {"chinook/Chinook_Sqlite.sql", "sqlite3", 11, 0},
        {"chinook/Chinook_Sqlite_AutoIncrementPKs.sql", "sqlite3", 11, 10},
    };
    for (const TCorpusCase& c : cases) {
        SCOPED_TRACE(c.File);
        Import(c.Target, Corpus(c.File));
        EXPECT_EQ(parser->ErrorCount(), 0) << JoinStrings(problems, "\n");
        const TTotals totals = Totals();
        ASSERT_EQ(totals.Tables, 11);
        EXPECT_EQ(totals.Columns, 64);
        EXPECT_EQ(totals.Keys, 11);
        EXPECT_EQ(totals.CompositeKeys, 1);
        EXPECT_EQ(totals.Indexes, c.Indexes);
        EXPECT_EQ(totals.AutoNumbers, c.AutoNumbers);
        const std::vector<TVELRelationship*> relationships = Relationships();
        ASSERT_EQ(relationships.size(), 11u);
        int identifying = 0;
        for (const TVELRelationship* r : relationships) {
            EXPECT_EQ(r->Pairs.Count(), 1) << r->GetName();
            identifying += r->RelationshipType == rtIdentifying;
        }
        EXPECT_EQ(identifying, 2) << "the two keys of the playlist tracks";
        // Track references Album by the album's key
        TVELEntity* track = TableNamed("Track");
        ASSERT_NE(track, nullptr);
        std::vector<const TVELForeignKeySource*> sources;
        track->ForeignKeySources(sources);
        EXPECT_EQ(sources.size(), 3u);
    }
}

TEST_F(SQLParserTest, SakilaForMySQLAndSQLite) {
    Import("mysql8", Corpus("sakila/mysql-sakila-schema.sql"));
    EXPECT_EQ(parser->ErrorCount(), 0) << JoinStrings(problems, "\n");
    TTotals totals = Totals();
    EXPECT_EQ(totals.Tables, 16);
    EXPECT_EQ(totals.Columns, 89);
    EXPECT_EQ(totals.Keys, 16);
    EXPECT_EQ(totals.Indexes, 23);
    EXPECT_EQ(totals.Triggers, 3);
    EXPECT_EQ(Relationships().size(), 22u);
    EXPECT_EQ(Count(otView), 7);
    EXPECT_EQ(Count(otProcedure), 6);
    EXPECT_EQ(Table("film")->TableOptions, "ENGINE=InnoDB DEFAULT CHARSET=utf8");
    EXPECT_EQ(Column("film", "special_features")->DataType->Items,
              "'Trailers','Commentaries','Deleted Scenes','Behind the Scenes'");
    TVELRelationship* payment = Relationship("fk_payment_rental");
    ASSERT_NE(payment, nullptr) << "the rental table comes after the payment table";
    EXPECT_EQ(payment->DeleteRule, raSetNull);
    EXPECT_EQ(payment->UpdateRule, raCascade);

    Import("sqlite3", Corpus("sakila/sqlite-sakila-schema.sql"));
    EXPECT_EQ(parser->ErrorCount(), 0) << JoinStrings(problems, "\n");
    totals = Totals();
    EXPECT_EQ(totals.Tables, 16);
    EXPECT_EQ(totals.Columns, 89);
    EXPECT_EQ(totals.Keys, 16);
    EXPECT_EQ(totals.Indexes, 24);
    EXPECT_EQ(totals.Triggers, 30);
    EXPECT_EQ(Relationships().size(), 22u);
    EXPECT_EQ(Count(otView), 5) << "the sixth view is commented out";
}

TEST_F(SQLParserTest, FirebirdGeneratorsDomainsComputedColumnsAndTerminators) {
    Import("firebird3", R"SQL(
CREATE DOMAIN D_AMOUNT AS NUMERIC(15,2) DEFAULT 0 NOT NULL CHECK (VALUE >= 0);
CREATE GENERATOR GEN_INVOICE_ID;
RECREATE TABLE INVOICE (
    ID INTEGER NOT NULL,
    NET D_AMOUNT,
    TAX D_AMOUNT,
    GROSS COMPUTED BY (NET + TAX),
    CONSTRAINT PK_INVOICE PRIMARY KEY (ID)
);
SET TERM ^ ;
CREATE TRIGGER INVOICE_BI FOR INVOICE ACTIVE BEFORE INSERT POSITION 0 AS
BEGIN
  IF (NEW.ID IS NULL) THEN NEW.ID = GEN_ID(GEN_INVOICE_ID, 1);
END^
SET TERM ; ^
CREATE INDEX IX_INVOICE_NET ON INVOICE (NET);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELDomain* amount = dd->FindDomain("D_AMOUNT");
    ASSERT_NE(amount, nullptr);
    EXPECT_EQ(amount->DataType->DataType, "NUMERIC");
    EXPECT_EQ(amount->DefaultValue(), "0");
    EXPECT_EQ(amount->CheckValue(), "VALUE >= 0");
    std::vector<TVELSequence*> sequences;
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_EQ(sequences[0]->GetName(), "GEN_INVOICE_ID");
    TVELEntity* invoice = Table("INVOICE");
    ASSERT_NE(invoice, nullptr) << "RECREATE TABLE";
    EXPECT_EQ(Column("INVOICE", "NET")->DomainID, amount->ID);
    TVELAttribute* gross = Column("INVOICE", "GROSS");
    EXPECT_EQ(gross->DataType->DataType, "COMPUTED BY");
    EXPECT_EQ(gross->DataType->Expression, "NET + TAX");
    ASSERT_EQ(invoice->Triggers.Count(), 1) << "the table after FOR";
    EXPECT_NE(invoice->TriggerAt(0)->Code.find("GEN_ID(GEN_INVOICE_ID, 1);\r\nEND"), std::string::npos)
        << invoice->TriggerAt(0)->Code;
    EXPECT_EQ(invoice->Indexes.Count(), 1) << "the terminator is \";\" again";
}

TEST_F(SQLParserTest, SequenceNegationsInTwoWordsAndLimitsBeyond32Bits) {
    Import("db2luw11", R"SQL(
CREATE SEQUENCE S.A AS BIGINT START WITH 1 INCREMENT BY 5 MINVALUE -9223372036854775808 MAXVALUE 9223372036854775807 CYCLE NO CACHE ORDER;
CREATE SEQUENCE S.B START WITH 7 NO MINVALUE NO MAXVALUE NO CYCLE CACHE 20 NO ORDER;
CREATE SEQUENCE S.C MINVALUE 5 NOMINVALUE MAXVALUE 10 NOMAXVALUE NOCACHE NOCYCLE;
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    std::vector<TVELSequence*> sequences;
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 3u);
    const TVELSequence& a = *sequences[0];
    EXPECT_EQ(a.Min, "-9223372036854775808");
    EXPECT_EQ(a.Max, "9223372036854775807");
    EXPECT_EQ(a.Increment, 5);
    EXPECT_EQ(a.CacheCode, "NOCACHE");
    EXPECT_EQ(a.Cache, "");
    EXPECT_EQ(a.Cycle, "cycle");
    EXPECT_EQ(a.Order, "order");
    EXPECT_EQ(a.IntegerType, "BIGINT");
    const TVELSequence& b = *sequences[1];
    EXPECT_EQ(b.Seed, 7);
    EXPECT_EQ(b.Min, "NOMINVALUE");
    EXPECT_EQ(b.Max, "NOMAXVALUE");
    EXPECT_EQ(b.Cycle, "nocycle");
    EXPECT_EQ(b.Order, "noorder");
    EXPECT_EQ(b.CacheCode, "CACHE");
    EXPECT_EQ(b.Cache, "20");
    const TVELSequence& c = *sequences[2];
    EXPECT_EQ(c.Min, "NOMINVALUE");
    EXPECT_EQ(c.Max, "NOMAXVALUE");
    EXPECT_EQ(c.CacheCode, "NOCACHE");
    EXPECT_EQ(c.Cycle, "nocycle");

    // Oracle writes its default limits in full, which its catalogue reads as no limits; other
    // limits of any length stay as written.
    Import("oracle19", "CREATE SEQUENCE s MINVALUE -999999999999999999999999999 "
                       "MAXVALUE 9999999999999999999999999999 NOCACHE;\n"
                       "CREATE SEQUENCE t MAXVALUE 9999999999999999999999999998;\n");
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 2u);
    EXPECT_EQ(sequences[0]->Min, "NOMINVALUE");
    EXPECT_EQ(sequences[0]->Max, "NOMAXVALUE");
    EXPECT_EQ(sequences[1]->Max, "9999999999999999999999999998");
    // SQL Server writes the cache in two words.
    Import("mssqlserver2019", "CREATE SEQUENCE [s] AS [bigint] START WITH 1 MAXVALUE 2147483648 CYCLE NO CACHE\nGO\n");
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_EQ(sequences[0]->Max, "2147483648");
    EXPECT_EQ(sequences[0]->CacheCode, "NOCACHE");
    EXPECT_EQ(sequences[0]->Cycle, "cycle");
}

TEST_F(SQLParserTest, Db2DistinctTypesAreDomains) {
    Import("db2luw11", R"SQL(
CREATE DISTINCT TYPE SHOP.MONEY_T AS DECIMAL(12,2) WITH COMPARISONS;
CREATE DISTINCT TYPE PHONE_T AS VARCHAR(20);
CREATE TYPE SHOP.ADDRESS_T AS (STREET VARCHAR(30)) MODE DB2SQL;
CREATE TABLE SHOP.CUSTOMER (ID INTEGER NOT NULL, PHONE PHONE_T, BALANCE MONEY_T NOT NULL);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Count(otDomain), 2) << "a structured type is no domain";
    const TVELDomain* money = dd->FindDomain("MONEY_T");
    ASSERT_NE(money, nullptr);
    EXPECT_EQ(money->SchemaName, "SHOP");
    EXPECT_EQ(money->DataType->DataType, "DECIMAL");
    EXPECT_EQ(money->DataType->Length, "12");
    EXPECT_EQ(money->DataType->Precision, 2);
    const TVELDomain* phone = dd->FindDomain("PHONE_T");
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->DataType->DataType, "VARCHAR");
    EXPECT_EQ(phone->DataType->Length, "20");
    EXPECT_EQ(Column("SHOP.CUSTOMER", "PHONE")->GetDomain(), phone);
    EXPECT_EQ(Column("SHOP.CUSTOMER", "BALANCE")->GetDomain(), money);
}

TEST_F(SQLParserTest, ExpressionIndexColumnsAndDb2Clustering) {
    Import("oracle19", R"SQL(
CREATE TABLE s.customer (id NUMBER NOT NULL, email VARCHAR2(200), name VARCHAR2(100));
CREATE INDEX s.ix_upper ON s.customer (UPPER("EMAIL") DESC, id);
CREATE INDEX s.ix_mixed ON s.customer (name, (id + 1), SUBSTR(name, 1, 3) || 'x' ASC);
CREATE INDEX s.ix_unknown ON s.customer (missing, id);
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELEntity* customer = Table("s.customer");
    ASSERT_NE(customer, nullptr);
    ASSERT_EQ(customer->Indexes.Count(), 3);
    auto columnsOf = [&](const std::string& name) {
        Strings out;
        auto* index = dynamic_cast<TVELIndex*>(customer->Indexes.FindByName(name));
        if (!index) return out;
        for (int i = 0; i < index->Columns.Count(); ++i) {
            const auto* column = static_cast<const TVELIndexColumn*>(index->Columns.Items(i));
            out.push_back((column->IsExpression ? "expr " : "") + column->ColumnText() +
                          (column->SortOption.empty() ? "" : " " + column->SortOption));
        }
        return out;
    };
    EXPECT_EQ(columnsOf("ix_upper"), (Strings{"expr UPPER(\"EMAIL\") DESC", "id"}));
    EXPECT_EQ(columnsOf("ix_mixed"), (Strings{"name", "expr (id + 1)", "expr SUBSTR(name, 1, 3) || 'x' ASC"}));
    EXPECT_EQ(columnsOf("ix_unknown"), (Strings{"id"})) << "a plain unknown name is no expression";

    // A MySQL prefix length stays a plain column.
    Import("mysql8", "CREATE TABLE t (a VARCHAR(100), KEY k (a(10)));\n");
    ASSERT_EQ(Table("t")->Indexes.Count(), 1);
    const auto* prefix = static_cast<const TVELIndex*>(Table("t")->Indexes.Items(0));
    ASSERT_EQ(prefix->Columns.Count(), 1);
    EXPECT_FALSE(static_cast<const TVELIndexColumn*>(prefix->Columns.Items(0))->IsExpression);

    Import("db2luw11", R"SQL(
CREATE TABLE S.C (ID INTEGER NOT NULL, PHONE VARCHAR(20), STATUS CHAR(1));
CREATE UNIQUE INDEX S.UX_PHONE ON S.C (PHONE ASC) INCLUDE ("STATUS") CLUSTER;
CREATE INDEX S.IX_STATUS ON S.C (STATUS) CLUSTER ALLOW REVERSE SCANS;
CREATE INDEX S.IX_PLAIN ON S.C (ID) ALLOW REVERSE SCANS;
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELEntity* c = Table("S.C");
    ASSERT_NE(c, nullptr);
    const auto* phone = dynamic_cast<TVELIndex*>(c->Indexes.FindByName("UX_PHONE"));
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->Clustering, "CLUSTER");
    EXPECT_EQ(phone->IndexOptions, "INCLUDE (\"STATUS\")");
    const auto* status = dynamic_cast<TVELIndex*>(c->Indexes.FindByName("IX_STATUS"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->Clustering, "CLUSTER");
    EXPECT_EQ(status->IndexOptions, "ALLOW REVERSE SCANS");
    const auto* plain = dynamic_cast<TVELIndex*>(c->Indexes.FindByName("IX_PLAIN"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Clustering, "");
    EXPECT_EQ(plain->IndexOptions, "ALLOW REVERSE SCANS");
}

TEST_F(SQLParserTest, CommentsOnEveryKindOfObject) {
    Import("postgresql15", R"SQL(
CREATE DOMAIN public.money_t AS numeric(12,2);
CREATE SEQUENCE public.tickets;
CREATE TABLE public.customer (id integer NOT NULL, name text CONSTRAINT name_set CHECK (name <> ''),
  CONSTRAINT customer_pk PRIMARY KEY (id), CONSTRAINT id_positive CHECK (id > 0));
CREATE INDEX ix_name ON public.customer (name);
CREATE VIEW public.names AS SELECT name FROM public.customer;
CREATE FUNCTION public.total(a integer) RETURNS integer LANGUAGE sql AS $$ SELECT a $$;
CREATE TRIGGER trg_audit BEFORE UPDATE ON public.customer FOR EACH ROW EXECUTE FUNCTION public.total();
COMMENT ON DOMAIN public.money_t IS 'Amounts';
COMMENT ON SEQUENCE public.tickets IS 'Ticket numbers';
COMMENT ON INDEX public.ix_name IS 'By name';
COMMENT ON VIEW public.names IS 'All names';
COMMENT ON FUNCTION public.total(integer) IS 'The total';
COMMENT ON TRIGGER trg_audit ON public.customer IS 'Audit';
COMMENT ON CONSTRAINT id_positive ON public.customer IS 'Positive';
COMMENT ON CONSTRAINT name_set ON public.customer IS 'Named';
COMMENT ON CONSTRAINT customer_pk ON public.customer IS 'The key';
COMMENT ON INDEX public.unknown IS 'Nothing';
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(dd->FindDomain("money_t")->Comment, "Amounts");
    std::vector<TVELSequence*> sequences;
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_EQ(sequences[0]->Comment, "Ticket numbers");
    TVELEntity* customer = Table("customer");
    ASSERT_NE(customer, nullptr);
    ASSERT_EQ(customer->Indexes.Count(), 1);
    EXPECT_EQ(customer->IndexAt(0)->Comment, "By name");
    ASSERT_EQ(customer->Triggers.Count(), 1);
    EXPECT_EQ(customer->TriggerAt(0)->Comment, "Audit");
    ASSERT_EQ(customer->Constraints.Count(), 1);
    EXPECT_EQ(customer->ConstraintAt(0)->Comment, "Positive");
    EXPECT_EQ(Column("customer", "name")->CheckConstraint()->Comment, "Named");
    EXPECT_EQ(customer->PrimaryKey->Comment, "The key");
    std::vector<TVELView*> views;
    dd->Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Comment, "All names");
    std::vector<TVELProcedure*> procedures;
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures[0]->Comment, "The total");

    // Oracle and Db2 write the comment of a view as a table comment; Db2 names members with
    // their schema, and a constraint after its table.
    Import("db2luw11", R"SQL(
CREATE TABLE S.T (ID INTEGER NOT NULL, CONSTRAINT CK_ID CHECK (ID > 0));
CREATE INDEX S.IX_ID ON S.T (ID);
CREATE VIEW S.V AS SELECT ID FROM S.T;
COMMENT ON TABLE S.V IS 'A view';
COMMENT ON INDEX S.IX_ID IS 'An index';
COMMENT ON CONSTRAINT S.T.CK_ID IS 'A check';
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    dd->Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Comment, "A view");
    EXPECT_EQ(Table("S.T")->IndexAt(0)->Comment, "An index");
    EXPECT_EQ(Table("S.T")->ConstraintAt(0)->Comment, "A check");
    Import("oracle19", "CREATE MATERIALIZED VIEW s.mv AS SELECT 1 AS x FROM dual;\n"
                       "COMMENT ON MATERIALIZED VIEW s.mv IS 'Kept';\n");
    dd->Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Comment, "Kept");

    // SQL Server: MS_Description of schema objects and of table members.
    Import("mssqlserver2019", R"SQL(
CREATE TYPE [dbo].[Phone] FROM [varchar](20) NULL
GO
CREATE SEQUENCE [dbo].[Numbers] START WITH 1
GO
CREATE TABLE [dbo].[T]([Id] [int] NOT NULL CONSTRAINT [CK_Id] CHECK ([Id] > 0), [Qty] [int] NULL,
 CONSTRAINT [CK_Qty] CHECK ([Qty] > 0))
GO
CREATE INDEX [IX_Qty] ON [dbo].[T] ([Qty])
GO
CREATE TRIGGER dbo.TR_T ON dbo.T AFTER UPDATE AS
BEGIN
  SET NOCOUNT ON;
END
GO
CREATE VIEW dbo.V AS SELECT Id FROM dbo.T
GO
CREATE PROCEDURE dbo.P AS SELECT 1
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'type', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TYPE', @level1name = N'Phone'
GO
EXEC sp_addextendedproperty N'MS_Description', N'sequence', N'SCHEMA', N'dbo', N'SEQUENCE', N'Numbers'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'index', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'T', @level2type = N'INDEX', @level2name = N'IX_Qty'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'trigger', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'T', @level2type = N'TRIGGER', @level2name = N'TR_T'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'check', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'T', @level2type = N'CONSTRAINT', @level2name = N'CK_Qty'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'column check', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'TABLE', @level1name = N'T', @level2type = N'CONSTRAINT', @level2name = N'CK_Id'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'view', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'VIEW', @level1name = N'V'
GO
EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = N'procedure', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'PROCEDURE', @level1name = N'P'
GO
EXEC sys.sp_addextendedproperty @name = N'Other', @value = N'not a description', @level0type = N'SCHEMA', @level0name = N'dbo', @level1type = N'VIEW', @level1name = N'V'
GO
)SQL");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(dd->FindDomain("Phone")->Comment, "type");
    dd->Sequences(sequences);
    ASSERT_EQ(sequences.size(), 1u);
    EXPECT_EQ(sequences[0]->Comment, "sequence");
    TVELEntity* t = Table("dbo.T");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->IndexAt(0)->Comment, "index");
    EXPECT_EQ(t->TriggerAt(0)->Comment, "trigger");
    ASSERT_EQ(t->Constraints.Count(), 1);
    EXPECT_EQ(t->ConstraintAt(0)->Comment, "check");
    EXPECT_EQ(Column("dbo.T", "Id")->CheckConstraint()->Comment, "column check");
    dd->Views(views);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0]->Comment, "view");
    dd->Procedures(procedures);
    ASSERT_EQ(procedures.size(), 1u);
    EXPECT_EQ(procedures[0]->Comment, "procedure");
}

// A bound rule keeps its variable in the model; the generated rule writes it once, and the
// generated script reads back to the same check.
TEST_F(SQLParserTest, SQLServerRuleRoundTrip) {
    const std::string script = "CREATE TYPE [dbo].[Phone] FROM [varchar](20) NULL\nGO\n"
                               "CREATE RULE [dbo].[R_Phone] AS @value LIKE '[0-9+]%' AND @value <> 'value'\nGO\n"
                               "EXEC sp_bindrule N'[dbo].[R_Phone]', N'Phone'\nGO\n";
    Import("mssqlserver2019", script);
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELDomain* phone = dd->FindDomain("Phone");
    ASSERT_NE(phone, nullptr);
    const std::string check = "@value LIKE '[0-9+]%' AND @value <> 'value'";
    EXPECT_EQ(phone->CheckConstraint()->Value, check);
    TVELTemplateFiller filler(*dd->GetDatabaseSettings());
    const std::string generated = filler.FillDomainStatement(*phone, false);
    EXPECT_NE(generated.find("CREATE RULE [Phone_RULE] AS " + check + "\r\n"), std::string::npos) << generated;
    EXPECT_EQ(generated.find("@@"), std::string::npos) << generated;

    Import("mssqlserver2019", generated);
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    phone = dd->FindDomain("Phone");
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(phone->CheckConstraint()->Value, check);

    // A check in the neutral form (from another target) names the variable in the rule.
    phone->CheckConstraint()->Value = "VALUE > 0 AND [value] <> 'VALUE' AND values_x = 1";
    TVELTemplateFiller again(*dd->GetDatabaseSettings());
    EXPECT_NE(again.FillDomainStatement(*phone, false)
                  .find("AS @value > 0 AND [value] <> 'VALUE' AND values_x = 1\r\n"),
              std::string::npos);
}

// What a script states reaches the model so that the generated script states it again: start
// values of standard identity columns, empty literals in code, the names servers give unnamed
// indexes, the table of a trigger, computed columns, and types the target calls otherwise.
TEST_F(SQLParserTest, DetailsThatTheGeneratedScriptNeeds) {
    Import("postgresql15", "CREATE TABLE t (id INT GENERATED ALWAYS AS IDENTITY, n INT GENERATED BY DEFAULT AS "
                           "IDENTITY (INCREMENT BY 5), a INT, b INT,\n"
                           " total INT GENERATED ALWAYS AS (a * b) STORED);\n"
                           "CREATE INDEX ON t (a, b);\nCREATE INDEX ON t (a, b);\nCREATE INDEX ON t (lower(b::text));\n"
                           "CREATE TRIGGER tr BEFORE INSERT ON public.t FOR EACH ROW EXECUTE FUNCTION f();\n");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Column("t", "id")->DataType->Seed, 1);
    EXPECT_EQ(Column("t", "n")->DataType->Seed, 1);
    EXPECT_EQ(Column("t", "n")->DataType->Increment, 5);
    EXPECT_EQ(Column("t", "total")->AttributeOptions, "GENERATED ALWAYS AS (a * b) STORED");
    TVELEntity* t = Table("t");
    ASSERT_EQ(t->Indexes.Count(), 3);
    EXPECT_EQ(t->IndexAt(0)->GetName(), "t_a_b_idx");
    EXPECT_EQ(t->IndexAt(1)->GetName(), "t_a_b_idx1");
    EXPECT_EQ(t->IndexAt(2)->GetName(), "t_expr_idx");
    ASSERT_EQ(t->Triggers.Count(), 1);
    EXPECT_EQ(t->TriggerAt(0)->Code,
              "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW EXECUTE FUNCTION f()");
    const std::string generated = test::GenerateScripts(*dd).CreateScript;
    EXPECT_NE(generated.find("GENERATED BY DEFAULT AS IDENTITY (START WITH 1 INCREMENT BY 1)"), std::string::npos)
        << generated;
    EXPECT_NE(generated.find("ON \"t\" FOR EACH ROW EXECUTE FUNCTION f()"), std::string::npos) << generated;

    // SQL Server's IDENTITY alone starts at the seed the type template leaves out.
    Import("mssqlserver2019", "CREATE TABLE t (id INT IDENTITY, q INT, total AS (q * 2) PERSISTED)\nGO\n");
    EXPECT_EQ(Column("t", "id")->DataType->Seed, 0);
    EXPECT_EQ(Column("t", "total")->AttributeOptions, "PERSISTED");

    // MySQL names an unnamed key after its first column; an empty literal stays empty, a quote
    // doubled inside one is written with a backslash.
    TVELSettingsList keep;
    keep.SetValue("DoNotReplaceNamesByParams", "1");
    Import("mariadb10",
           "CREATE TABLE m (a INT, b VARCHAR(10) DEFAULT 'it''s', KEY (b), UNIQUE KEY (a), UNIQUE KEY (a, b));\n"
           "CREATE VIEW v AS SELECT IF(a, 'x', '') AS n, _utf8'' AS e, 'o''k' AS q FROM m;\n"
           "CREATE TRIGGER tm BEFORE INSERT ON m FOR EACH ROW SET NEW.a = 1;\n",
           keep);
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    TVELEntity* m = Table("m");
    ASSERT_EQ(m->Indexes.Count(), 3);
    EXPECT_EQ(m->IndexAt(0)->GetName(), "b");
    EXPECT_EQ(m->IndexAt(1)->GetName(), "a");
    EXPECT_EQ(m->IndexAt(2)->GetName(), "a_2");
    EXPECT_EQ(Column("m", "b")->DefaultValue(), "'it\\'s'");
    const auto* view = static_cast<const TVELView*>(dd->FindOfTypeByQualifiedName(otView, "v"));
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view->Code.find("IF(a, 'x', '') AS n, _utf8'' AS e, 'o\\'k' AS q"), std::string::npos) << view->Code;
    EXPECT_EQ(m->TriggerAt(0)->Code, "CREATE TRIGGER tm BEFORE INSERT ON m FOR EACH ROW SET NEW.a = 1");
    EXPECT_EQ(test::GenerateScripts(*dd).CreateScript.find("INDEX  ON"), std::string::npos);

    // A dump as the server writes it reads as the catalogue does: no display widths, TINYINT(1)
    // as BOOLEAN, current_timestamp() as CURRENT_TIMESTAMP, and a view's stand-in replaced by
    // the view defined at the end.
    Import("mariadb10", "CREATE TABLE d (id INT(10) UNSIGNED NOT NULL, flag TINYINT(1) NOT NULL DEFAULT 1,\n"
                        " small TINYINT(4), at TIMESTAMP NOT NULL DEFAULT current_timestamp() ON UPDATE "
                        "current_timestamp(), at3 DATETIME(3) DEFAULT current_timestamp(3));\n"
                        "/*!50001 CREATE VIEW `dv` AS SELECT 1 AS `id` */;\n"
                        "/*!50001 DROP VIEW IF EXISTS `dv`*/;\n"
                        "/*!50001 CREATE ALGORITHM=UNDEFINED */\n/*!50013 DEFINER=`root`@`localhost` SQL SECURITY "
                        "INVOKER */\n/*!50001 VIEW `dv` AS select `d`.`id` AS `id` from `d` */;\n"
                        "CREATE DEFINER = 'admin'@'%' TRIGGER `dt` BEFORE INSERT ON `d` FOR EACH ROW SET NEW.flag = 1;\n"
                        "CREATE TABLE e (id INT, d_id INT(10) UNSIGNED, KEY `fk_e_d` (`d_id`), KEY `ix_e` (`d_id`, `id`),\n"
                        " CONSTRAINT `fk_e_d` FOREIGN KEY (`d_id`) REFERENCES `d` (`id`));\n");
    EXPECT_TRUE(problems.empty()) << JoinStrings(problems, "\n");
    EXPECT_EQ(Column("d", "id")->DataType->Length, "0");
    EXPECT_TRUE(Column("d", "id")->DataType->Unsigned);
    EXPECT_EQ(Column("d", "flag")->DataType->DataType, "BOOLEAN");
    EXPECT_EQ(Column("d", "small")->DataType->DataType, "TINYINT");
    EXPECT_EQ(Column("d", "at")->DefaultValue(), "CURRENT_TIMESTAMP");
    EXPECT_EQ(Column("d", "at")->AttributeOptions, "ON UPDATE CURRENT_TIMESTAMP");
    EXPECT_EQ(Column("d", "at3")->DefaultValue(), "CURRENT_TIMESTAMP(3)");
    EXPECT_EQ(Count(otView), 1);
    ASSERT_EQ(Table("e")->Indexes.Count(), 1) << "the foreign key's own index is the server's";
    EXPECT_EQ(Table("e")->IndexAt(0)->GetName(), "ix_e");
    const auto* dv = static_cast<const TVELView*>(dd->FindOfTypeByQualifiedName(otView, "dv"));
    ASSERT_NE(dv, nullptr);
    EXPECT_EQ(dv->Code, "CREATE SQL SECURITY INVOKER VIEW %viewname% AS select `d`.`id` AS `id` from `d`");
    EXPECT_EQ(Table("d")->TriggerAt(0)->Code,
              "CREATE TRIGGER %triggername% BEFORE INSERT ON %tablename% FOR EACH ROW SET NEW.flag = 1");

    // A type the target lists under another name takes that name, with a warning; no column is
    // left without a type.
    Import("sqlite3", "CREATE TABLE s (c VARCHAR2(20), ts SMALLDATETIME NOT NULL, odd FROBNICATE);\n");
    EXPECT_EQ(Column("s", "c")->DataType->DataType, "VARCHAR");
    EXPECT_EQ(Column("s", "c")->DataType->Length, "20");
    EXPECT_EQ(Column("s", "ts")->DataType->DataType, "DATETIME");
    EXPECT_EQ(Column("s", "odd")->DataType->DataType, dd->GetDataTypes()->DefaultType());
    EXPECT_EQ(problems.size(), 3u) << JoinStrings(problems, "\n");
    EXPECT_TRUE(HasMessage("s : Column \"ts\": Data type \"SMALLDATETIME\" is not in the list of data types; "
                           "\"DATETIME\" is used."))
        << JoinStrings(parser->Messages, "\n");
}
