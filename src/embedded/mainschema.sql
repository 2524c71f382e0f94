-- Main database of the embedded sample server.
--
-- The real server compares text without regard to case, so every ObjectID,
-- alias and name column is declared COLLATE NOCASE; views and joins inherit it.
-- Extensions stay TEXT so that "0100" and "100" remain different numbers.
-- Bits and other integers are INTEGER, dates are TEXT 'yyyy-MM-dd HH:mm:ss'
-- (greeting expiry in universal time), schedule masks are 12-byte blobs.
-- Keys that the server itself must invent carry a generated GUID default.
-- Alias is deliberately not unique: keeping aliases apart is the creation
-- code's job, and a broken server with two roots must still be representable.

CREATE TABLE CallHandler (
    CallHandlerObjectID       TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    Alias                     TEXT COLLATE NOCASE,
    TextName                  TEXT COLLATE NOCASE,
    IsPrimary                 INTEGER DEFAULT 0,
    RecipientObjectID         TEXT COLLATE NOCASE,
    RecipientObjectIDType     INTEGER,
    AdministratorObjectID     TEXT COLLATE NOCASE,
    AdministratorObjectIDType INTEGER,
    Language                  INTEGER,
    ScheduleObjectName        TEXT COLLATE NOCASE,
    MaxMsgLen                 INTEGER DEFAULT 300,
    EditMsg                   INTEGER DEFAULT 1,
    SendUrgentMsg             INTEGER DEFAULT 0,
    AfterMessageAction        INTEGER DEFAULT 1,
    AfterMessageConversation  TEXT,
    AfterMessageObjectID      TEXT COLLATE NOCASE,
    AfterMessageObjectIDType  INTEGER DEFAULT 0,
    OneKeyDelay               INTEGER DEFAULT 1500,
    ContactRuleAlternate      TEXT COLLATE NOCASE,
    Undeletable               INTEGER DEFAULT 0
);
CREATE INDEX IX_CallHandler_Alias ON CallHandler (Alias);
CREATE INDEX IX_CallHandler_Recipient ON CallHandler (RecipientObjectID);
CREATE INDEX IX_CallHandler_Administrator ON CallHandler (AdministratorObjectID);

CREATE TABLE Subscriber (
    SubscriberObjectID  TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Alias               TEXT COLLATE NOCASE,
    DisplayName         TEXT COLLATE NOCASE,
    FirstName           TEXT COLLATE NOCASE,
    LastName            TEXT COLLATE NOCASE,
    CallHandlerObjectID TEXT COLLATE NOCASE,
    SubscriberType      INTEGER DEFAULT 1,
    HomeServer          TEXT COLLATE NOCASE,
    DirectoryID         TEXT COLLATE NOCASE,
    COSObjectID         TEXT COLLATE NOCASE,
    SwitchID            INTEGER,
    ExitAction          INTEGER,
    ExitConversation    TEXT,
    ExitObjectID        TEXT COLLATE NOCASE,
    ExitObjectIDType    INTEGER
);
CREATE INDEX IX_Subscriber_Alias ON Subscriber (Alias);
CREATE INDEX IX_Subscriber_CallHandler ON Subscriber (CallHandlerObjectID);
CREATE INDEX IX_Subscriber_DirectoryID ON Subscriber (DirectoryID);

-- Transfer rules: Standard, Off Hours and Alternate per call handler.
CREATE TABLE ContactRule (
    ContactRuleObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    ParentObjectID      TEXT COLLATE NOCASE,
    Alias               TEXT COLLATE NOCASE,
    SwitchID            INTEGER DEFAULT 0,
    Extension           TEXT,
    TransferRings       INTEGER DEFAULT 4,
    TransferType        INTEGER DEFAULT 0,
    TimeExpires         TEXT,
    Action              INTEGER DEFAULT 0,
    PlayWhat            INTEGER DEFAULT 0,
    RNAAction           INTEGER DEFAULT 1
);
CREATE INDEX IX_ContactRule_Parent ON ContactRule (ParentObjectID, Alias);

-- Greetings: Standard, Off Hours, Busy, Alternate, Internal and Error.
CREATE TABLE MessagingRule (
    MessagingRuleObjectID   TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    ParentObjectID          TEXT COLLATE NOCASE,
    Alias                   TEXT COLLATE NOCASE,
    Action                  INTEGER DEFAULT 4,
    ConversationName        TEXT,
    DestinationObjectID     TEXT COLLATE NOCASE,
    DestinationObjectIDType INTEGER DEFAULT 0,
    IgnoreDigits            INTEGER DEFAULT 0,
    TimeExpires             TEXT,
    StreamPath              TEXT,
    PlayWhat                INTEGER DEFAULT 0,
    Reprompts               INTEGER DEFAULT 0,
    RepromptDelay           INTEGER DEFAULT 2
);
CREATE INDEX IX_MessagingRule_Parent ON MessagingRule (ParentObjectID, Alias);
CREATE INDEX IX_MessagingRule_Destination ON MessagingRule (DestinationObjectID);

-- One-key menu: the keys 0-9, * and # per call handler.
CREATE TABLE MenuEntry (
    MenuEntryObjectID       TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    ParentObjectID          TEXT COLLATE NOCASE,
    Alias                   TEXT COLLATE NOCASE,
    Action                  INTEGER DEFAULT 0,
    ConversationName        TEXT,
    DestinationObjectID     TEXT COLLATE NOCASE,
    DestinationObjectIDType INTEGER DEFAULT 0,
    Locked                  INTEGER DEFAULT 0
);
CREATE INDEX IX_MenuEntry_Parent ON MenuEntry (ParentObjectID, Alias);
CREATE INDEX IX_MenuEntry_Destination ON MenuEntry (DestinationObjectID);

CREATE TABLE InterviewHandler (
    InterviewHandlerObjectID  TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    Alias                     TEXT COLLATE NOCASE,
    TextName                  TEXT COLLATE NOCASE,
    Undeletable               INTEGER DEFAULT 0,
    Language                  INTEGER,
    AdministratorObjectID     TEXT COLLATE NOCASE,
    AdministratorObjectIDType INTEGER,
    RecipientObjectID         TEXT COLLATE NOCASE,
    RecipientObjectIDType     INTEGER,
    AfterMessageAction        INTEGER DEFAULT 1,
    AfterMessageConversation  TEXT,
    AfterMessageObjectID      TEXT COLLATE NOCASE,
    AfterMessageObjectIDType  INTEGER DEFAULT 0,
    LocationObjectID          TEXT COLLATE NOCASE
);
CREATE INDEX IX_InterviewHandler_Alias ON InterviewHandler (Alias);

CREATE TABLE InterviewQuestion (
    InterviewQuestionObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    ParentObjectID            TEXT COLLATE NOCASE,
    Alias                     TEXT COLLATE NOCASE,
    StreamText                TEXT,
    MaxMsgLength              INTEGER,
    StreamPath                TEXT
);
CREATE INDEX IX_InterviewQuestion_Parent ON InterviewQuestion (ParentObjectID, Alias);

CREATE TABLE NameLookupHandler (
    NameLookupHandlerObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    Alias                     TEXT COLLATE NOCASE,
    TextName                  TEXT COLLATE NOCASE,
    UID                       TEXT COLLATE NOCASE,
    Language                  INTEGER,
    AdministratorObjectID     TEXT COLLATE NOCASE,
    AdministratorObjectIDType INTEGER,
    PlayAllNames              INTEGER DEFAULT 0,
    SearchScope               INTEGER DEFAULT 1,
    SearchScopeObjectID       TEXT COLLATE NOCASE,
    SearchByFirstName         INTEGER DEFAULT 0,
    ExitAction                INTEGER DEFAULT 1,
    ExitConversation          TEXT,
    ExitObjectID              TEXT COLLATE NOCASE,
    ExitObjectIDType          INTEGER DEFAULT 0,
    ZeroAction                INTEGER DEFAULT 1,
    ZeroConversation          TEXT,
    ZeroObjectID              TEXT COLLATE NOCASE,
    ZeroObjectIDType          INTEGER DEFAULT 0,
    NoInputAction             INTEGER DEFAULT 1,
    NoInputConversation       TEXT,
    NoInputObjectID           TEXT COLLATE NOCASE,
    NoInputObjectIDType       INTEGER DEFAULT 0,
    NoSelectionAction         INTEGER DEFAULT 1,
    NoSelectionConversation   TEXT,
    NoSelectionObjectID       TEXT COLLATE NOCASE,
    NoSelectionObjectIDType   INTEGER DEFAULT 0,
    AutoRoute                 INTEGER DEFAULT 1,
    MenuStyle                 INTEGER DEFAULT 1,
    SayExtension              INTEGER DEFAULT 1,
    MaxMatches                INTEGER DEFAULT 8,
    ApplicationObjectID       TEXT COLLATE NOCASE,
    EndDialDelay              INTEGER DEFAULT 2000,
    StartDialDelay            INTEGER DEFAULT 1500,
    Tries                     INTEGER DEFAULT 3,
    UseStarToExit             INTEGER DEFAULT 1,
    LocationObjectID          TEXT COLLATE NOCASE,
    Undeletable               INTEGER DEFAULT 0
);
CREATE INDEX IX_NameLookupHandler_Alias ON NameLookupHandler (Alias);

-- Every extension of every kind of object lives here, primary or not.
CREATE TABLE DTMFAccessID (
    DTMFAccessIDRowID  INTEGER PRIMARY KEY,
    DTMFAccessID       TEXT,
    ParentObjectID     TEXT COLLATE NOCASE,
    ParentObjectIDType INTEGER,
    IsPrimaryID        INTEGER DEFAULT 1,
    DTMFAccessIDType   INTEGER DEFAULT 0
);
CREATE INDEX IX_DTMFAccessID_Extension ON DTMFAccessID (DTMFAccessID);
CREATE INDEX IX_DTMFAccessID_Parent ON DTMFAccessID (ParentObjectID);
CREATE UNIQUE INDEX UX_DTMFAccessID_Primary ON DTMFAccessID (ParentObjectID) WHERE IsPrimaryID = 1;

CREATE TABLE DistributionList (
    SystemDListObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    DirectoryID         TEXT COLLATE NOCASE,
    Alias               TEXT COLLATE NOCASE,
    DisplayName         TEXT COLLATE NOCASE,
    SMTPAddress         TEXT COLLATE NOCASE
);
CREATE INDEX IX_DistributionList_DirectoryID ON DistributionList (DirectoryID);
CREATE INDEX IX_DistributionList_Alias ON DistributionList (Alias);

CREATE TABLE ScopeDList (
    ScopeDListObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    DirectoryID        TEXT COLLATE NOCASE,
    DisplayName        TEXT COLLATE NOCASE
);
CREATE INDEX IX_ScopeDList_DirectoryID ON ScopeDList (DirectoryID);

CREATE TABLE COS (
    COSObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Alias       TEXT COLLATE NOCASE,
    TextName    TEXT COLLATE NOCASE
);

CREATE TABLE Location (
    LocationObjectID TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    Alias            TEXT COLLATE NOCASE,
    TextName         TEXT COLLATE NOCASE
);
CREATE INDEX IX_Location_Alias ON Location (Alias);

-- One bit per quarter hour of each weekday.
CREATE TABLE Schedule (
    DisplayName    TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    IgnoreHolidays INTEGER DEFAULT 0,
    Monday         BLOB CHECK (Monday IS NULL OR length(Monday) = 12),
    Tuesday        BLOB CHECK (Tuesday IS NULL OR length(Tuesday) = 12),
    Wednesday      BLOB CHECK (Wednesday IS NULL OR length(Wednesday) = 12),
    Thursday       BLOB CHECK (Thursday IS NULL OR length(Thursday) = 12),
    Friday         BLOB CHECK (Friday IS NULL OR length(Friday) = 12),
    Saturday       BLOB CHECK (Saturday IS NULL OR length(Saturday) = 12),
    Sunday         BLOB CHECK (Sunday IS NULL OR length(Sunday) = 12)
);

-- Routing rules refer to their target without braces.
CREATE TABLE [Rule] (
    RuleObjectID   TEXT COLLATE NOCASE NOT NULL PRIMARY KEY
        DEFAULT ('{' || upper(hex(randomblob(4))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(2))) || '-' || upper(hex(randomblob(6))) || '}'),
    DisplayName    TEXT COLLATE NOCASE,
    ActionObjectID TEXT COLLATE NOCASE
);
CREATE INDEX IX_Rule_ActionObjectID ON [Rule] (ActionObjectID);

CREATE TABLE DirectorySyncTicket (
    Ticket TEXT COLLATE NOCASE NOT NULL PRIMARY KEY,
    result INTEGER
);

-- A primary call handler has no extension of its own: it shows its subscriber's.
CREATE VIEW vw_CallHandler AS
SELECT c.*, d.DTMFAccessID AS DTMFAccessID
FROM CallHandler c
LEFT JOIN DTMFAccessID d
    ON d.IsPrimaryID = 1
   AND d.ParentObjectID = CASE WHEN c.IsPrimary = 1 THEN c.RecipientObjectID ELSE c.CallHandlerObjectID END;

CREATE VIEW vw_Subscriber AS SELECT * FROM Subscriber;
CREATE VIEW vw_ContactRule AS SELECT * FROM ContactRule;
CREATE VIEW vw_MessagingRule AS SELECT * FROM MessagingRule;
CREATE VIEW vw_MenuEntry AS SELECT * FROM MenuEntry;

-- Older servers' greeting writer updates rows through the view.
CREATE TRIGGER trg_vw_MessagingRule_Update INSTEAD OF UPDATE ON vw_MessagingRule
BEGIN
    UPDATE MessagingRule SET
        MessagingRuleObjectID = NEW.MessagingRuleObjectID,
        ParentObjectID = NEW.ParentObjectID,
        Alias = NEW.Alias,
        Action = NEW.Action,
        ConversationName = NEW.ConversationName,
        DestinationObjectID = NEW.DestinationObjectID,
        DestinationObjectIDType = NEW.DestinationObjectIDType,
        IgnoreDigits = NEW.IgnoreDigits,
        TimeExpires = NEW.TimeExpires,
        StreamPath = NEW.StreamPath,
        PlayWhat = NEW.PlayWhat,
        Reprompts = NEW.Reprompts,
        RepromptDelay = NEW.RepromptDelay
    WHERE MessagingRuleObjectID = OLD.MessagingRuleObjectID;
END;

CREATE VIEW vw_InterviewHandler AS
SELECT i.*, d.DTMFAccessID AS DTMFAccessID
FROM InterviewHandler i
LEFT JOIN DTMFAccessID d ON d.IsPrimaryID = 1 AND d.ParentObjectID = i.InterviewHandlerObjectID;

CREATE VIEW vw_InterviewQuestion AS SELECT * FROM InterviewQuestion;

CREATE VIEW vw_NameLookupHandler AS
SELECT n.*, d.DTMFAccessID AS DTMFAccessID
FROM NameLookupHandler n
LEFT JOIN DTMFAccessID d ON d.IsPrimaryID = 1 AND d.ParentObjectID = n.NameLookupHandlerObjectID;

CREATE VIEW vw_DistributionList AS
SELECT l.*, d.DTMFAccessID AS DtmfAccessId
FROM DistributionList l
LEFT JOIN DTMFAccessID d ON d.IsPrimaryID = 1 AND d.ParentObjectID = l.SystemDListObjectID;

-- One row per extension in use, primary or not, with its owner's kind and name.
CREATE VIEW vw_DTMFAccessID_DialingDomain AS
SELECT d.DTMFAccessID AS DTMFAccessID,
       d.ParentObjectIDType AS ObjectType,
       CASE d.ParentObjectIDType
           WHEN 1 THEN (SELECT s.DisplayName FROM Subscriber s WHERE s.SubscriberObjectID = d.ParentObjectID)
           WHEN 2 THEN (SELECT l.DisplayName FROM DistributionList l WHERE l.SystemDListObjectID = d.ParentObjectID)
           WHEN 3 THEN (SELECT c.TextName FROM CallHandler c WHERE c.CallHandlerObjectID = d.ParentObjectID)
           WHEN 5 THEN (SELECT i.TextName FROM InterviewHandler i WHERE i.InterviewHandlerObjectID = d.ParentObjectID)
           WHEN 6 THEN (SELECT n.TextName FROM NameLookupHandler n WHERE n.NameLookupHandlerObjectID = d.ParentObjectID)
           WHEN 9 THEN (SELECT o.TextName FROM Location o WHERE o.LocationObjectID = d.ParentObjectID)
       END AS DisplayName,
       d.ParentObjectID AS ParentObjectID,
       d.IsPrimaryID AS IsPrimaryID
FROM DTMFAccessID d;

CREATE VIEW vw_ScopeDList AS SELECT * FROM ScopeDList;
CREATE VIEW vw_COS AS SELECT * FROM COS;
CREATE VIEW vw_Location AS SELECT * FROM Location;
CREATE VIEW vw_Schedule AS SELECT * FROM Schedule;
CREATE VIEW vw_DirectorySyncTicket AS SELECT * FROM DirectorySyncTicket;
