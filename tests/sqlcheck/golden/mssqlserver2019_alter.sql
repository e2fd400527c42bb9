-- rename table EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[orders]', N'purchase'
-- add column in the middle ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [orders] DROP CONSTRAINT [fk_orders_customer]
-- add column in the middle ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [customer] DROP CONSTRAINT [pk_customer]
-- add column in the middle IF: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[customer_TMP]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [customer_TMP] ON
-- add column in the middle IF: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[customer_TMP]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [customer_TMP] OFF
-- add column in the middle EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[customer_TMP]', N'customer'
-- drop column DECLARE: Transact-SQL reference, DECLARE (Transact-SQL)
DECLARE @name sysname = (SELECT name FROM sys.default_constraints WHERE parent_object_id = OBJECT_ID(N'[customer]') AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(N'[customer]'), N'credit', 'ColumnId'));
IF @name IS NOT NULL EXEC (N'ALTER TABLE [customer] DROP CONSTRAINT ' + QUOTENAME(@name))
-- rename column EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[customer].[city]', N'town', N'COLUMN'
-- change named default ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [customer] DROP CONSTRAINT [df_credit]
-- change identity ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [orders] DROP CONSTRAINT [pk_orders]
-- change identity IF: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[orders_TMP]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [orders_TMP] ON
-- change identity IF: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[orders_TMP]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [orders_TMP] OFF
-- change identity EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[orders_TMP]', N'orders'
-- drop unique constraint ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [customer] DROP CONSTRAINT [uq_customer_name]
-- change check constraint ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [customer] DROP CONSTRAINT [ck_credit]
-- add procedure CREATE PROCEDURE: Transact-SQL reference, CREATE PROCEDURE (Transact-SQL)
CREATE PROCEDURE [count_customers] AS
BEGIN
  SELECT COUNT(*) FROM customer;
END
-- change procedure CREATE PROCEDURE: Transact-SQL reference, CREATE PROCEDURE (Transact-SQL)
CREATE PROCEDURE [count_customers] AS
BEGIN
  SELECT COUNT(*) + 0 FROM customer;
END
-- add trigger CREATE TRIGGER: Transact-SQL reference, CREATE TRIGGER (Transact-SQL)
CREATE TRIGGER [tr_customer] ON [customer] AFTER INSERT AS
BEGIN
  SET NOCOUNT ON;
END
-- change trigger DROP TRIGGER: Transact-SQL reference, DROP TRIGGER (Transact-SQL)
DROP TRIGGER [tr_customer]
-- change trigger CREATE TRIGGER: Transact-SQL reference, CREATE TRIGGER (Transact-SQL)
CREATE TRIGGER [tr_customer] ON [customer] AFTER INSERT, UPDATE AS
BEGIN
  SET NOCOUNT ON;
END
-- add sequence CREATE SEQUENCE: Transact-SQL reference, CREATE SEQUENCE (Transact-SQL)
CREATE SEQUENCE [seq_invoice] START WITH 1 INCREMENT BY 1
-- change sequence DROP SEQUENCE: Transact-SQL reference, DROP SEQUENCE (Transact-SQL)
DROP SEQUENCE [seq_invoice]
-- change sequence CREATE SEQUENCE: Transact-SQL reference, CREATE SEQUENCE (Transact-SQL)
CREATE SEQUENCE [seq_invoice] START WITH 1 INCREMENT BY 5
-- add domain EXEC: Transact-SQL reference, system stored procedure sp_addtype
EXEC sp_addtype N'money_amount', 'DECIMAL(12,2)','NULL'
-- add domain CREATE RULE: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [money_amount_RULE] AS @value >= 0
-- add domain EXEC: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[money_amount_RULE]', N'[money_amount]'
-- add domain CREATE DEFAULT: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [money_amount_DFT] AS 0
-- add domain EXEC: Transact-SQL reference, system stored procedure sp_bindefault
EXEC sp_bindefault N'[money_amount_DFT]', N'[money_amount]'
-- change domain EXEC: Transact-SQL reference, system stored procedure sp_unbindefault
EXEC sp_unbindefault N'[money_amount]'
-- change domain DROP DEFAULT: Transact-SQL reference, DROP DEFAULT (Transact-SQL)
DROP DEFAULT [money_amount_DFT]
-- change domain EXEC: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[money_amount]'
-- change domain DROP RULE: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [money_amount_RULE]
-- change domain CREATE RULE: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [money_amount_RULE] AS @value > -1
-- change domain CREATE DEFAULT: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [money_amount_DFT] AS 1
-- change domain of a column EXEC: Transact-SQL reference, system stored procedure sp_droptype
EXEC sp_droptype N'money_amount'
-- change domain of a column EXEC: Transact-SQL reference, system stored procedure sp_addtype
EXEC sp_addtype N'money_amount', 'DECIMAL(14,2)','NULL'
-- change domain of a column ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [orders] ALTER COLUMN [amount] [money_amount]
-- rename index EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[customer].[ix_customer_city]', N'ix_customer_town', N'INDEX'
-- rename foreign key EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'dbo.[fk_orders_customer]', N'fk_orders_buyer', N'OBJECT'
-- rename unique constraint EXEC: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'dbo.[uq_customer_name]', N'uq_customer_label', N'OBJECT'
-- drop column with an unnamed check DECLARE: Transact-SQL reference, DECLARE (Transact-SQL)
DECLARE @name sysname = (SELECT TOP 1 name FROM sys.check_constraints WHERE parent_object_id = OBJECT_ID(N'[customer]') AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(N'[customer]'), N'visits', 'ColumnId'));
IF @name IS NOT NULL EXEC (N'ALTER TABLE [customer] DROP CONSTRAINT ' + QUOTENAME(@name))
-- move table to another schema ALTER SCHEMA: Transact-SQL reference, ALTER SCHEMA (Transact-SQL)
ALTER SCHEMA [sales] TRANSFER [orders]
