#pragma once
// The node browser's Properties tab: kind, reference ID, name, comment, initial-node flag,
// media file and animation summary of the current node. Each change is one undo step.
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QCheckBox;
class QPushButton;

namespace qm {

class NodeBrowser;

class NodePropertiesPage : public QWidget {
    Q_OBJECT
public:
    NodePropertiesPage(NodeBrowser& browser, QWidget* parent);

    // Fills every item from the current node.
    void showNode();
    // Stores a name or comment still being typed.
    void commitEdits();

    void commitName();
    void commitComment();
    void makeInitial();
    void chooseMediaFile();
    // Changes the node's media file to this one (what Change... does once a file is chosen).
    bool changeMediaFile(const QString& path);
    void editAnimation();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    NodeBrowser& m_browser;
    QLabel* m_kind;
    QLabel* m_id;
    QLineEdit* m_name;
    QPlainTextEdit* m_comment;
    QCheckBox* m_initial;
    QLabel* m_media;
    QPushButton* m_mediaButton;
    QLabel* m_animation;
    QPushButton* m_animationButton;
};

} // namespace qm
