#pragma once

#include "meskrecords.h"
#include "meskvscrollarea.h"

#include <QHash>
#include <QWidget>

class CMeskAddToolButton;
class CMeskDeleteToolButton;
class CMeskEngine;
class CMeskLabelCombo;
class CMeskSettings;
class CMeskThumbnailWidget;
class CQuorCheckBox;
class CQuorToolButton;
class IMediaItemProvider;
class QLabel;
class QVBoxLayout;

// The General page: starting with the desktop, sounds, and restoring dismissed warnings.
class CMeskGeneralSettingsView : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskGeneralSettingsView(CMeskSettings* settings, QWidget* parent = nullptr);
    ~CMeskGeneralSettingsView() override;

    // The boxes and the history choice from the store, recording nothing.
    void reload();

    CQuorCheckBox* launchBox() const { return m_launchBox; }
    CQuorCheckBox* soundsBox() const { return m_soundsBox; }
    CQuorToolButton* restoreButton() const { return m_restoreButton; }
    CMeskLabelCombo* historyCombo() const { return m_historyCombo; }

private slots:
    void _onStartupBoxClicked(bool checked);
    void _onPlaySoundsBoxClicked(bool checked);
    void _onHistorySelectionChanged(int id);
    void _onWarnButtonClicked();

private:
    void setHistoryLabel(int id);

    CMeskSettings* m_settings = nullptr;
    CQuorCheckBox* m_launchBox = nullptr;
    CQuorCheckBox* m_soundsBox = nullptr;
    CMeskLabelCombo* m_historyCombo = nullptr;
    CQuorToolButton* m_restoreButton = nullptr;
};

// One service row: logo, account or service name, and the add or delete button.
class CMeskProviderInfoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskProviderInfoWidget(IMediaItemProvider* provider, QWidget* parent = nullptr);
    ~CMeskProviderInfoWidget() override;

    IMediaItemProvider* provider() const { return m_provider; }
    QLabel* accountLabel() const { return m_accountLabel; }
    CMeskAddToolButton* addButton() const { return m_addButton; }
    CMeskDeleteToolButton* deleteButton() const { return m_deleteButton; }

private slots:
    void _onEnableProvider();
    void _onDisableProvider();
    void _onActivated();
    void _onDeactivated();

private:
    IMediaItemProvider* m_provider = nullptr;
    QLabel* m_accountLabel = nullptr;
    CMeskAddToolButton* m_addButton = nullptr;
    CMeskDeleteToolButton* m_deleteButton = nullptr;
};

// The text-messaging row: logo, operator name, status text and the state icon.
class CMeskSmsProviderInfoWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CMeskSmsProviderInfoWidget(CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskSmsProviderInfoWidget() override;

    QLabel* titleLabel() const { return m_title; }
    QLabel* statusLabel() const { return m_status; }
    CMeskThumbnailWidget* stateIcon() const { return m_stateIcon; }
    // Whether the state icon shows the ready state.
    bool showsEnabledIcon() const { return m_enabled; }

private slots:
    void _onSmsStateChanged(TMeskSmsState state);

private:
    CMeskEngine* m_engine = nullptr;
    CMeskThumbnailWidget* m_stateIcon = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_status = nullptr;
    bool m_enabled = false;
};

// The Services page's content: the text-messaging row and one row per service provider.
class CMeskServicesWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskServicesWidget(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskServicesWidget() override;

    void reload() {}

    CMeskSmsProviderInfoWidget* smsRow() const { return m_smsRow; }
    QList<CMeskProviderInfoWidget*> rows() const { return m_rows; }

private:
    CMeskSettings* m_settings = nullptr;
    CMeskEngine* m_engine = nullptr;
    CMeskSmsProviderInfoWidget* m_smsRow = nullptr;
    QList<CMeskProviderInfoWidget*> m_rows;
};

class CMeskServicesView : public CMeskVScrollArea
{
    Q_OBJECT

public:
    CMeskServicesView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskServicesView() override;

    // The page has no stored settings: nothing to do.
    void reload() {}
    CMeskServicesWidget* content() const { return m_content; }

private:
    CMeskServicesWidget* m_content = nullptr;
};

// The Notifications page's content: which new messages and posts raise notifications, for all
// contacts or the ticked ones.
class CMeskNotificationsWidget : public QWidget
{
    Q_OBJECT

public:
    CMeskNotificationsWidget(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskNotificationsWidget() override;

    // The three boxes from the store, then the contact list rebuilt; records nothing.
    void reload();

    CQuorCheckBox* newMessagesBox() const { return m_newMessagesBox; }
    CQuorCheckBox* newPostsBox() const { return m_newPostsBox; }
    CQuorCheckBox* allContactsBox() const { return m_allContactsBox; }
    QHash<mid_t, CQuorCheckBox*> contactBoxes() const { return m_contactBoxes; }

private slots:
    void _onServiceDeactivated(mid_t provider);
    void _onServiceUserAdded(mid_t provider, const SServiceUser& user);
    void _onNewTextMessageClicked(bool checked);
    void _onNewFeedsClicked(bool checked);
    void _onAllContactsClicked(bool checked);
    void _onUserClicked(bool checked);

private:
    static bool isContact(const SServiceUser& user);
    CQuorCheckBox* addContactBox(const SServiceUser& user);
    void rebuildContacts();
    void selectContacts();

    CMeskSettings* m_settings = nullptr;
    CMeskEngine* m_engine = nullptr;
    CQuorCheckBox* m_newMessagesBox = nullptr;
    CQuorCheckBox* m_newPostsBox = nullptr;
    CQuorCheckBox* m_allContactsBox = nullptr;
    QVBoxLayout* m_contactsLayout = nullptr;
    QHash<mid_t, CQuorCheckBox*> m_contactBoxes;
};

class CMeskNotificationsView : public CMeskVScrollArea
{
    Q_OBJECT

public:
    CMeskNotificationsView(CMeskSettings* settings, CMeskEngine* engine, QWidget* parent = nullptr);
    ~CMeskNotificationsView() override;

    void reload();
    CMeskNotificationsWidget* content() const { return m_content; }

private:
    CMeskNotificationsWidget* m_content = nullptr;
};
