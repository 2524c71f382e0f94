-- Directory database of the embedded sample server. FullName is not unique:
-- a server with a duplicated setting must be representable.
CREATE TABLE Configuration (
    ConfigurationRowID INTEGER PRIMARY KEY,
    FullName           TEXT COLLATE NOCASE NOT NULL,
    ValueString        TEXT
);
CREATE INDEX IX_Configuration_FullName ON Configuration (FullName);

CREATE VIEW vw_Configuration AS SELECT FullName, ValueString FROM Configuration;
