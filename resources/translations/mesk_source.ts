<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Browser window</name>
    <message>
        <source>Newer</source>
        <comment>disabled button or link</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Older</source>
        <comment>disabled button or link</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Newer</source>
        <comment>enabled button or link</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Older</source>
        <comment>enabled button or link</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk link browser</source>
        <comment>Title for a web-page that displays all the links received, where the user can browse to the destinations of those links.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page details</source>
        <comment>Header for the web-page in the browser window</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your browser does not support iframes.</source>
        <comment>Error message indicating that the browser is too old.</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFacebookCommentWidget</name>
    <message>
        <source>Me</source>
        <comment>Pronoun - action executed by the user himself</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFacebookCommentsWidget</name>
    <message>
        <source>View all comments...</source>
        <comment>Label text that links to the dialog showing all comments</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFacebookEventWidget</name>
    <message>
        <source>Comments(%1)</source>
        <comment>Subject - Comments(#amount#)</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comment</source>
        <comment>Verb</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You liked(%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You liked</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Like(%1)</source>
        <comment>Verb</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Like</source>
        <comment>Verb</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CFlickrSetupWidget</name>
    <message>
        <source>Failed to load page: </source>
        <extracomment>Error message meaning that a web-address couldn&apos;t be opened</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>when you are finished press </source>
        <extracomment>Label text indicating to press a button when setup is concluded</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ready</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskBottomBar</name>
    <message>
        <source>Cancel</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskDebugToolsWidget</name>
    <message>
        <source>Get updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Items</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskDeepDiveErrorWidget</name>
    <message>
        <source>Try again</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskDeepDiveView</name>
    <message>
        <source>« Previous</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next »</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No content</source>
        <comment>Warning dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is nothing yet to show, try this when you have posts with image or video attachments.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No network connection</source>
        <comment>Warning dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot download new images or videos without a working Internet connection, but you can still browse content that you already downloaded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You are on 3G connection</source>
        <comment>Warning dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fullscreen mode downloads larger versions of images and videos. This can consume your bandwidth limit and increase costs, unless you have unlimited bandwidth plan.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Don&apos;t show again</source>
        <comment>Checkbox label</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskDeepDiveWarningWidget</name>
    <message>
        <source>Ok</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <comment>button label</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskEmptyColumnWidget</name>
    <message>
        <source>There are no active services</source>
        <extracomment>Section header text</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are no other services configured</source>
        <extracomment>Status label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskFeedErrorWidget</name>
    <message>
        <source>Ignore this warning</source>
        <extracomment>Checkbox label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskGeneralSettingsView</name>
    <message>
        <source>Application Settings</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch at Startup</source>
        <comment>Checkbox text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play sounds</source>
        <comment>Checkbox text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>History</source>
        <comment>Section header title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>today</source>
        <comment>Keep the data downloaded from Social-Networks for today</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>three days</source>
        <comment>Keep the data downloaded from Social-Networks for 3 days</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a week</source>
        <comment>Keep the data downloaded from Social-Networks for a week</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a month</source>
        <comment>Keep the data downloaded from Social-Networks for a month</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warnings</source>
        <comment>Title of the Settings Section that relates to Mesk Warnings. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If you have marked some warnings not to be &lt;br&gt;repeatedly displayed, click the button below to &lt;br&gt;restore them.</source>
        <comment>Description for the &quot;Restore&quot; button&apos;s action. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restore</source>
        <comment>Makes Mesk re-start displaying the warning that the user has dismissed</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restores the previously dismissed warnings</source>
        <comment>Tooltip text for the &quot;Restore&quot; button.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save history for </source>
        <comment>Combobox explanation text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskImageViewer</name>
    <message>
        <source>Image corrupted</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image was corrupted or its format is not supported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Image download failed</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to download image from server, please check that the network connection works properly and your account is not blocked</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskMainTitleBar</name>
    <message>
        <source>Restore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Minimize</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exit</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskMainWindow</name>
    <message>
        <source>The program&apos;s data was damaged, so Velto Lumesk started with empty data. The damaged file is kept as &quot;%1&quot;.

Please link your accounts again under Services in the settings.</source>
        <extracomment>Information shown once, over the main window, at a start that found the program&apos;s data damaged. %1 is the full path of the damaged file, kept under a new name. &quot;Services&quot; is the settings page where the accounts are linked.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program&apos;s data was made by another version of Velto Lumesk, so Velto Lumesk started with empty data. The data is kept as &quot;%1&quot;.

Please link your accounts again under Services in the settings.</source>
        <extracomment>Information shown once, over the main window, at a start that found the program&apos;s data written by an older or newer version of the program, which this one cannot use. %1 is the full path of the file, kept under a new name. &quot;Services&quot; is the settings page where the accounts are linked.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; (made by another version of Velto Lumesk)</source>
        <extracomment>One line of the list of kept data files: %1 is the full path of a file the program&apos;s data was kept as, made by another version of the program.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; (damaged)</source>
        <extracomment>One line of the list of kept data files: %1 is the full path of a damaged file the program&apos;s data was kept as.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program&apos;s data could not be used, so Velto Lumesk started with empty data. The data is kept in these files:

%1

Please link your accounts again under Services in the settings.</source>
        <extracomment>Information shown once, over the main window, at a start that found the program&apos;s data unusable more than once since the user was last told (damaged, or made by another version). %1 is the list of the kept files, one a line, oldest first. &quot;Services&quot; is the settings page where the accounts are linked.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk could not save its settings in the file &quot;%1&quot;.</source>
        <extracomment>Error information, in a box over the settings after Save. %1 is the full path of the settings file, which keeps the settings saved before.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskMessageBox</name>
    <message>
        <source>Ok</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <extracomment>Type of dialog - error, warning, or information</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warning</source>
        <extracomment>Type of dialog - error, warning, or information</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Information</source>
        <extracomment>Type of dialog - error, warning, or information</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No web browser could be started to open</source>
        <extracomment>Message when no program could be started to show an address; the address follows on the next line</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskMultiSettingsView</name>
    <message>
        <source>General settings</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Services</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskNotificationsWidget</name>
    <message>
        <source>Show me taskbar notifications for</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New text messages</source>
        <comment>option - checkbox text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New posts</source>
        <comment>option - checkbox text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show me notifications for</source>
        <comment>Label text for a section of the settings</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All contacts</source>
        <comment>Option - checkbox text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskPostCommentWidget</name>
    <message>
        <source>Sending your comment...</source>
        <extracomment>Status text</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed</source>
        <extracomment>Status text for operations</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write a comment...</source>
        <extracomment>Guidance text for textboxes</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskPostSmsWidget</name>
    <message>
        <source>New Text Message</source>
        <extracomment>Title for a dialog where user can send a new SMS message</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name or number</source>
        <extracomment>Help text in the empty box where the user picks a contact or types a phone number for a new SMS</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write your sms here</source>
        <extracomment>Help text the the input box where user types the content of the SMS message</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <extracomment>Caption of the button which initiates the operation to send an SMS message</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Synchronize your mobile with Velto Quor Suite to see your phonebook</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The recipient is not valid. </source>
        <extracomment>The receiver of the SMS is not valid.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device is powered off</source>
        <extracomment>3G and SMS functionality need a device to be powered on</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SIM card is locked by a PIN code</source>
        <extracomment>3G and SMS functionality need a SIM card to be functional</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no SIM in your device</source>
        <extracomment>3G and SMS functionality need a SIM card to be inserted on the computer</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskPostUpdateWidget</name>
    <message>
        <source>New Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send to </source>
        <extracomment>button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write your update here</source>
        <extracomment>Guidance text for textbox</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sending your update...</source>
        <extracomment>Status text</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send</source>
        <extracomment>button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are no activated services, please activate at least one in settings</source>
        <extracomment>Error msg indicating that the user has not configured any service integration yet.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please select at least one service</source>
        <extracomment>Error msg indicating that the user must select at least 1 destination for his message</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> failed</source>
        <extracomment>Error text, an operation has failed</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed</source>
        <extracomment>Error text, an operation has failed</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskProviderInfoWidget</name>
    <message>
        <source>Please note that all user data will be deleted as well. Are you sure you want to delete account information?</source>
        <comment>Dialog text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSelectableTextLabel</name>
    <message>
        <source>Copy</source>
        <extracomment>Context menu entry copying the selected text</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskServiceSetupWidget</name>
    <message>
        <source>Service setup Wizard</source>
        <extracomment>Title bar text for the setup wizard</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click here to get started!</source>
        <extracomment>Label for the button which initiates the setup wizards</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try again</source>
        <extracomment>Label for a button that restarts a failed operation</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close Wizard</source>
        <extracomment>Label for a button</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to %1, please wait...</source>
        <extracomment>Status message, informs that a connection is being opened</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 service setup wizard</source>
        <extracomment>Window title for the setup process</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Welcome to the setup wizard for %1. You will be redirected to %1 pages, please follow the instructions and authorize Velto Lumesk to access your account.</source>
        <extracomment>Note: states that user will add his &apos;social networking service&apos; account into Mesk.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now Velto Lumesk is ready to use your %1 account</source>
        <extracomment>User has completed the setup process for some social networking service</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There seems to be network problems accessing %1, please check that your network connection is working.</source>
        <extracomment>Error: no network! Internet might be disconnected?</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is having problems - please try again later.</source>
        <extracomment>Error:the social network service reported an error.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskServicesWidget</name>
    <message>
        <source>Text messaging</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Services</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSettingsTabHeader</name>
    <message>
        <source>General</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Services</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSingleSettingsView</name>
    <message>
        <source>General</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Services</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSmsColumnWidget</name>
    <message>
        <source>Text Messages</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSmsProviderInfoWidget</name>
    <message>
        <source>SMS</source>
        <comment>Section header text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device is powered off</source>
        <comment>Status text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SIM card is locked by a PIN code</source>
        <comment>Status text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no SIM in your device</source>
        <comment>Status text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskSmsWidget</name>
    <message>
        <source>Resend</source>
        <extracomment>Caption for the button that initiates the operation to retry to send an SMS message that failed to be sent</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <extracomment>Caption for the button that deletes failed message from feed view</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reply</source>
        <extracomment>Caption for the button that initiates the operation to reply to an SMS message that was received</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Forward</source>
        <extracomment>Caption for the button that initiates the operation to forward to an SMS message to another contact</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <extracomment>Caption for the button that deletes received message from feed view</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sending... </source>
        <extracomment>The SMS message is being sent to the recipient</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Message could not be sent</source>
        <extracomment>The SMS could not be sent, user should try again</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskStreamView</name>
    <message>
        <source>You have no items yet</source>
        <extracomment>Status - There are no visible items for the user</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have no active services</source>
        <extracomment>Status - the service providers are deactivated</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You have no other services</source>
        <extracomment>Status - There are other sources of items configured</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskToolBar</name>
    <message>
        <source>New Update</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Text Message</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskVideoViewer</name>
    <message>
        <source>Flash Player is not installed</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Adobe Flash Player is not installed. You need this in order to play the video.</source>
        <comment>Error information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video download failed</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to download video from server, please check that your network connection works properly and your account is not blocked.</source>
        <comment>Error information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flash player error</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The video could not be reproduced; Velto Lumesk is unable to determine the resons for this problem. Please try to watch this directly from the service website.</source>
        <comment>Error information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Video format is not supported</source>
        <comment>Dialog title</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The video was corrupted or its format is not supported.</source>
        <comment>Error information</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CMeskViewToolButton</name>
    <message>
        <source>View</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>» Images and Videos</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>» Links</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images and Videos</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Links</source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View </source>
        <comment>Button text</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTwitterSetupWidget</name>
    <message>
        <source>Failed to load page: </source>
        <extracomment>Error message meaning that a web-address couldn&apos;t be opened</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>when you are finished, enter the pin </source>
        <extracomment>Label text indicating the next step when setup is concluded</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> and press </source>
        <extracomment>complementary text to indicate the next step (press button)</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ready</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CTwitterStatusWidget</name>
    <message>
        <source>Reply</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retweet</source>
        <extracomment>Button label</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Dialog Titlebar caption</name>
    <message>
        <source>Close</source>
        <comment>Tooltip/menu item for the close button in the caption</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Main titlebar caption</name>
    <message>
        <source>Minimize</source>
        <comment>Tooltip/menu item for the minimize button in the caption</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <comment>Tooltip/menu item for the close button in the caption</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MeskStartup</name>
    <message>
        <source>Velto Lumesk cannot write to the folder &quot;%1&quot;.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of a folder.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot use &quot;%1&quot;: it is a file, not a folder.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of a file that is where the program needs a folder.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot write to the file &quot;%1&quot;.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the program&apos;s database file.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot read the file &quot;%1&quot;.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the program&apos;s database file, which the user may not read.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot read the file &quot;%1&quot;: %2.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the program&apos;s database file, %2 the database&apos;s own English message, such as &quot;database is locked&quot;.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The disk that holds the folder &quot;%1&quot; is full.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the folder where the program keeps its data.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk keeps its data in the home folder, but the environment variable HOME is not set.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. HOME is the name of an environment variable: keep it as it is.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk could not open its data in the folder &quot;%1&quot;.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the folder where the program keeps its data.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk is still closing. Please try again in a moment.</source>
        <extracomment>Error information</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program could not be initialized. Please uninstall the application, and install it again via Velto Update Manager. If the problem persists, consult Velto&apos;s support pages online.</source>
        <extracomment>Error information</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk keeps its data in the home folder &quot;%1&quot;, but that folder does not exist. Please check the environment variable HOME.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of the folder the environment variable HOME names. HOME is the name of an environment variable: keep it as it is.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot use &quot;%1&quot;: it is a link to &quot;%2&quot;, which does not exist.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;. %1 is the path of a link (a file or folder of the program&apos;s data), %2 the path it names, which does not exist (a disk that is not connected, say).</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot tell whether it is running already: it has no runtime folder for its lock file. Please check the environment variable XDG_RUNTIME_DIR.</source>
        <extracomment>Error information. XDG_RUNTIME_DIR is the name of an environment variable: keep it as it is.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk cannot tell whether it is running already: it cannot use its lock file in the folder &quot;%1&quot;: %2.</source>
        <extracomment>Error information. %1 is the path of the folder where the program keeps the file that tells whether it runs (the user&apos;s runtime folder), %2 the system&apos;s message for the error, such as &quot;Permission denied&quot; or &quot;No space left on device&quot;.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk could not save its data in the file &quot;%1&quot;: %2.</source>
        <extracomment>Error information, the paragraph after &quot;The program could not be initialized...&quot;, or alone in a box over the main window. %1 is the path of the program&apos;s database file, %2 the database&apos;s own English message, such as &quot;disk I/O error&quot;.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program could not be initialized.</source>
        <extracomment>Error information, the first paragraph when the program&apos;s data or its folders cannot be used.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk checks the whole file when it starts next.</source>
        <extracomment>Error information, the last paragraph after a read or write of the program&apos;s database file failed.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&lt;b&gt;To: %1&lt;/b&gt; %2</source>
        <comment>Label text - translate only the &quot;To:&quot; text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;From: %1&lt;/b&gt; %2</source>
        <comment>Label text - translate only the &quot;From:&quot; text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[A data message (such as a multimedia message notice) that this program cannot show]</source>
        <comment>Shown in place of the text of an SMS that carries data, not text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted %2 photos</source>
        <comment>Caption for a new event - #Who# posted N photos</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a new photo</source>
        <comment>Caption for a photo event - #Who# posted a new photo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a new photo: &quot;%2&quot;</source>
        <comment>Caption for a photo event - #Who# posted a new photo: #PHOTO_TITLE#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a link</source>
        <comment>Caption for a link text - #Who# posted a link</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>posted a link to %1</source>
        <comment>Caption for a link text - posted a link to #WEBSITE#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a link to &lt;a href=&quot;%2&quot;&gt;&lt;b&gt;%3&lt;/b&gt;&lt;/a&gt;</source>
        <comment>Caption for a link text - &lt;b&gt;#Who#&lt;/b&gt; posted a link to &lt;a href=&quot;#WEBADDRESS#&quot;&gt;&lt;b&gt;#WEBSITE#&lt;/b&gt;&lt;/a&gt;</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted an event</source>
        <comment>Caption for a calendar_event event - #Who# posted an event</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted an event &lt;a href=&quot;%2&quot;&gt;&lt;b&gt;%3&lt;/b&gt;&lt;/a&gt;</source>
        <comment>Caption for a calendar_event event - #Who# posted an event #link#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a video</source>
        <comment>Label text - #SOMEBODY# posted a video</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; posted a video &quot;%2&quot;</source>
        <comment>Label text - #SOMEBODY# posted a video: #TITLE#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; sent you a friend request</source>
        <comment>Label text - #SOMEBODY# sent you a friend request</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; sent you a message: &quot;%2&quot;</source>
        <comment>Label text - #SOMEBODY# sent you a message: #MESSAGE#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt; by &lt;b&gt;%2&lt;/b&gt;</source>
        <comment>Label text for an event - #EVENT_TITLE# by #PERSON#</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;p class=&quot;header&quot;&gt;Welcome&lt;br&gt; to Velto Lumesk,&lt;/p&gt; &lt;p class=&quot;body&quot;&gt;the simple way to stay in touch with your friends.&lt;/p&gt; &lt;p class=&quot;body&quot;&gt;Send and receive text messages, update your status on Facebook, tweet and see what&apos;s new from your friends online.&lt;/p&gt;</source>
        <comment>Welcome text formatted with HTML. Translate only this: Welcome to Velto Mesk,the simple way to stay in touch with your friends. Send and receive text messages, update your status on Facebook, tweet and see what&apos;s new from your friends online.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click here to get started!</source>
        <comment>Label for button</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More</source>
        <comment>Action button text in feed stream to show older content</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no active Internet connection, please check your network settings</source>
        <comment>General warning stating that there is no Internet connection available.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service is not available</source>
        <comment>something is preventing Mesk from accessing a Social-Networking web-site&apos;s infra.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service provider returned error</source>
        <comment>Unidentified error has happened in some Social-Networking infra-structure.</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service update rate limit has been reached</source>
        <comment>The usage-limit for some Social-Networking web-site(s) has been reached. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk is no longer authorized to use your account</source>
        <comment>The user or the SocialNetworkingService has revoked Mesk&apos;s permission to access data</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your account is blocked</source>
        <comment>Mesk was denied access to the user&apos;s account on a SocialNetworkingService</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The 3G device is not available. Please try reinstalling the device drivers and restarting the computer.</source>
        <comment>It appears that the GSM hardware has been removed from the computer. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The 3G device is powered off</source>
        <comment>Error message stating that the GSM hardware is off</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no SIM card in the device, please insert it</source>
        <comment>The GSM SIM card must be inserted to enable 3G and SMS. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The SIM card is locked. Enter the PIN code via the system&apos;s network settings</source>
        <comment>The GSM SIM card is inserted but the user needs to enter the PIN code to enable 3G and SMS. </comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk internal error, please contact application support</source>
        <comment>Error message</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There seems to be some network problems accessing %1</source>
        <comment>A SocialNetworkingService could not be contacted</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is temporarily not available</source>
        <comment>A SocialNetworkingService was not available</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There seems to be some internal problems while trying to access %1</source>
        <comment>A SocialNetworkingService reported internal error</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 update rate limit has been reached</source>
        <comment>There were too many requests to a SocialNetworkingService</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk is no longer authorized to use your %1 account</source>
        <comment>The user or the SocialNetworkingService has revoked Mesk&apos;s permission to access data</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your %1 account is blocked</source>
        <comment>The user&apos;s account to SocialNetworkingService was blocked</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please note that Velto Lumesk is using the 3G network for Internet connections, operator rates may apply</source>
        <comment>Warning dialog informing about possible operator charges</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The 3G network signal is very low</source>
        <comment>Warning - cellular network signal is low</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velto Lumesk detected internal problems, please contact application support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today, </source>
        <comment>Label text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yesterday, </source>
        <comment>Label text</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Right now</source>
        <comment>Label text for something that just happened</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 hour ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 hours ago</source>
        <comment>Label text for time information - #NUMBER# hours ago</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 minute ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 minutes ago</source>
        <comment>Label text for time information - #NUMBER# minutes ago</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>half a minute ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 second ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 seconds ago</source>
        <comment>Label text for time information - #NUMBER# seconds ago</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one month ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 months ago</source>
        <comment>Label text for time information - #NUMBER# months ago</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one day ago</source>
        <comment>Label text for time information</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 days ago</source>
        <comment>Label text for time information - #NUMBER# days ago</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today, </source>
        <comment>Label text for time information - Today, hour:minute</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yesterday, </source>
        <comment>Label text for time information - Yesterday, hour:minute</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Me</source>
        <comment>Pronoun referring to the user himself</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
