-- create CREATE SEQUENCE: Transact-SQL reference, CREATE SEQUENCE (Transact-SQL)
CREATE SEQUENCE [Invoice Numbers] AS BIGINT START WITH 10 INCREMENT BY 5 MINVALUE 10 MAXVALUE 1000000 CYCLE CACHE 20
-- create EXEC: Transact-SQL reference, system stored procedure sp_addtype
EXEC sp_addtype N'Positive Amount', 'DECIMAL(12,2)','NULL'
-- create CREATE RULE: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [Positive Amount_RULE] AS @value >= 0
-- create EXEC: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[Positive Amount_RULE]', N'[Positive Amount]'
-- create CREATE DEFAULT: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [Positive Amount_DFT] AS 0
-- create EXEC: Transact-SQL reference, system stored procedure sp_bindefault
EXEC sp_bindefault N'[Positive Amount_DFT]', N'[Positive Amount]'
-- create EXEC: Transact-SQL reference, system stored procedure sp_addtype
EXEC sp_addtype N'CodeText', 'VARCHAR(20)','NULL'
-- create CREATE RULE: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [CodeText_RULE] AS @value <> ''
-- create EXEC: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[CodeText_RULE]', N'[CodeText]'
-- create GRANT: Transact-SQL reference, GRANT (Transact-SQL)
GRANT SELECT ON [Customer] TO PUBLIC
-- create CREATE TABLE: Transact-SQL reference, CREATE TABLE (Transact-SQL)
CREATE TABLE [All Types] (
  [Id] INT NOT NULL,
  [BIT] BIT,
  [TINYINT] TINYINT,
  [SMALLINT] SMALLINT,
  [INT] INT,
  [BIGINT] BIGINT,
  [DECIMAL] DECIMAL(18,2),
  [NUMERIC] NUMERIC(18,2),
  [MONEY] MONEY,
  [SMALLMONEY] SMALLMONEY,
  [REAL] REAL,
  [FLOAT] FLOAT,
  [DATE] DATE,
  [TIME] TIME,
  [DATETIME2] DATETIME2,
  [DATETIMEOFFSET] DATETIMEOFFSET,
  [DATETIME] DATETIME,
  [SMALLDATETIME] SMALLDATETIME,
  [CHAR] CHAR(1),
  [VARCHAR] VARCHAR(50),
  [VARCHAR(MAX)] VARCHAR(MAX),
  [TEXT] TEXT,
  [NCHAR] NCHAR(1),
  [NVARCHAR] NVARCHAR(50),
  [NVARCHAR(MAX)] NVARCHAR(MAX),
  [NTEXT] NTEXT,
  [BINARY] BINARY(1),
  [VARBINARY] VARBINARY(50),
  [VARBINARY(MAX)] VARBINARY(MAX),
  [IMAGE] IMAGE,
  [ROWVERSION] ROWVERSION,
  [UNIQUEIDENTIFIER] UNIQUEIDENTIFIER,
  [XML] XML,
  [SQL_VARIANT] SQL_VARIANT,
  [HIERARCHYID] HIERARCHYID,
  [GEOMETRY] GEOMETRY,
  [GEOGRAPHY] GEOGRAPHY,
  [COMPUTED] AS ([Id] * 2),
  CONSTRAINT [PK_All Types] PRIMARY KEY ([Id])
)
-- create CREATE TABLE: Transact-SQL reference, CREATE TABLE (Transact-SQL)
CREATE TABLE [Order] (
  [OrderId] INT NOT NULL,
  [Select] DATE NOT NULL,
  [Amount] [Positive Amount],
  [Code] [CodeText],
  [Invoice No] BIGINT,
  [CustomerId] INT NOT NULL,
  CONSTRAINT [PK_Order] PRIMARY KEY ([OrderId])
)
-- create ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Order] ADD DEFAULT NEXT VALUE FOR [Invoice Numbers] FOR [Invoice No]
-- create CREATE TABLE: Transact-SQL reference, CREATE TABLE (Transact-SQL)
CREATE TABLE [Order Line] (
  [Line No] INT NOT NULL,
  [Quantity] INT NOT NULL,
  [Price] DECIMAL(10,2) NOT NULL,
  [Total] DECIMAL(12,2) SPARSE,
  [Größe] VARCHAR(10),
  [OrderId] INT NOT NULL,
  CONSTRAINT [PK_Order_Line] PRIMARY KEY ([Line No],[OrderId])
)
-- create ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Customers Note] ADD CONSTRAINT [FK_Note_Archive] FOREIGN KEY ([ArchiveId]) REFERENCES [SALES].[Archive] ([ArchiveId])
-- create CREATE PROCEDURE: Transact-SQL reference, CREATE PROCEDURE (Transact-SQL)
CREATE PROCEDURE [Archive Customers] @days INT AS
BEGIN
  DELETE FROM [Customer] WHERE [Created] < DATEADD(day, -@days, SYSDATETIME());
END
-- create CREATE FUNCTION: Transact-SQL reference, CREATE FUNCTION (Transact-SQL)
CREATE FUNCTION [Customer Count]() RETURNS INT AS
BEGIN
  RETURN (SELECT COUNT(*) FROM [Customer]);
END
-- create CREATE TRIGGER: Transact-SQL reference, CREATE TRIGGER (Transact-SQL)
CREATE TRIGGER [TR_Customer_Score] ON [Customer] AFTER INSERT AS
BEGIN
  SET NOCOUNT ON;
  UPDATE [Customer] SET [Score] = 0 WHERE [Score] IS NULL;
END
-- create CREATE RULE: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [Positive Rule] AS @value >= 0
-- drop DROP RULE: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [Positive Rule]
-- drop DROP TRIGGER: Transact-SQL reference, DROP TRIGGER (Transact-SQL)
DROP TRIGGER [TR_Customer_Score]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Employee] DROP CONSTRAINT [FK_Employee_Manager]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Department] DROP CONSTRAINT [FK_Department_Head]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Employee] DROP CONSTRAINT [FK_Employee_Department]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Action Child] DROP CONSTRAINT [FK_Action_1]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Action Child] DROP CONSTRAINT [FK_Action_2]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Action Child] DROP CONSTRAINT [FK_Action_3]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Action Child] DROP CONSTRAINT [FK_Action_4]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Customers Note] DROP CONSTRAINT [FK_Note_Customer]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Customers Note] DROP CONSTRAINT [FK_Note_Archive]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Order] DROP CONSTRAINT [FK_Order_Customer]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Order Line] DROP CONSTRAINT [FK_OrderLine_Order]
-- drop ALTER TABLE: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [Line Note] DROP CONSTRAINT [FK_LineNote_OrderLine]
-- drop EXEC: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[Positive Amount]'
-- drop EXEC: Transact-SQL reference, system stored procedure sp_unbindefault
EXEC sp_unbindefault N'[Positive Amount]'
-- drop EXEC: Transact-SQL reference, system stored procedure sp_droptype
EXEC sp_droptype N'Positive Amount'
-- drop DROP RULE: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [Positive Amount_RULE]
-- drop DROP DEFAULT: Transact-SQL reference, DROP DEFAULT (Transact-SQL)
DROP DEFAULT [Positive Amount_DFT]
-- drop EXEC: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[CodeText]'
-- drop EXEC: Transact-SQL reference, system stored procedure sp_droptype
EXEC sp_droptype N'CodeText'
-- drop DROP RULE: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [CodeText_RULE]
-- drop DROP SEQUENCE: Transact-SQL reference, DROP SEQUENCE (Transact-SQL)
DROP SEQUENCE [Invoice Numbers]
