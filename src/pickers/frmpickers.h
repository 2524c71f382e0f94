#pragma once
// The four object pickers. Each is shown modally (exec()); when the show
// returns, bCancelHit says whether the user left without a pick and the
// public variables hold the picked row. Every showing starts afresh: a
// cancelled search never hands back an earlier pick.

#include "pickers/pickerdialog.h"

namespace quillor {

// The pickers whose row names the picked object by one ObjectID.
class ObjectIdPicker : public PickerDialog {
    Q_OBJECT
public:
    QString strObjectID;

protected:
    using PickerDialog::PickerDialog;
    void setResults(int row) override;
};

class frmCallHandlerSearch : public ObjectIdPicker {
    Q_OBJECT
public:
    explicit frmCallHandlerSearch(AppContext &ctx, QWidget *parent = nullptr);
};

class frmInterviewerSearch : public ObjectIdPicker {
    Q_OBJECT
public:
    explicit frmInterviewerSearch(AppContext &ctx, QWidget *parent = nullptr);
};

class frmDistributionListSearch : public ObjectIdPicker {
    Q_OBJECT
public:
    explicit frmDistributionListSearch(AppContext &ctx, QWidget *parent = nullptr);
    QString strDirectoryID;
    // The list's mail domain (after the "@" of its address); "" when it has none.
    QString strDomainName;

protected:
    bool prepareOK(int row) override;
    void setResults(int row) override;

private:
    QString m_pickedDomain;
};

class frmSubscriberSearch : public PickerDialog {
    Q_OBJECT
public:
    explicit frmSubscriberSearch(AppContext &ctx, QWidget *parent = nullptr);
    QString strSubscriberObjectID;
    QString strHandlerObjectID; // the subscriber's own call handler

protected:
    void setResults(int row) override;
};

} // namespace quillor
