#include "nodes/node_edit_command.h"

#include <algorithm>

#include "framework/scene_document.h"

namespace qm {

namespace {

// Equal apart from the editing state (selection flags).
bool sameContent(std::vector<Node> a, std::vector<Node> b)
{
    auto clear = [](std::vector<Node>& nodes) {
        for (Node& n : nodes) {
            n.selected = false;
            for (HotSpot& h : n.hotSpots)
                h.selected = false;
        }
    };
    clear(a);
    clear(b);
    return a == b;
}

} // namespace

NodeEditCommand::NodeEditCommand(SceneDocument& document, const QString& text, std::vector<Node> before,
                                 std::vector<Node> after)
    : QUndoCommand(text), m_document(document), m_before(std::move(before)), m_after(std::move(after))
{
}

void NodeEditCommand::undo() { apply(m_before); }
void NodeEditCommand::redo() { apply(m_after); }

void NodeEditCommand::apply(const std::vector<Node>& nodes)
{
    Scene& scene = m_document.editableScene();
    std::vector<Node> next = nodes;
    for (Node& n : next) {
        const Node* current = findNode(scene, n.id);
        n.selected = current && current->selected;
        for (HotSpot& h : n.hotSpots) {
            bool selected = false;
            if (current)
                for (const HotSpot& c : current->hotSpots)
                    if (c.id == h.id && c.viewColumn == h.viewColumn && c.viewRow == h.viewRow)
                        selected = c.selected;
            h.selected = selected;
        }
    }
    // A hot spot that the step adds comes back selected, as it was when drawn.
    for (std::size_t i = 0; i < nodes.size(); ++i)
        for (std::size_t k = 0; k < nodes[i].hotSpots.size(); ++k)
            if (nodes[i].hotSpots[k].selected)
                next[i].hotSpots[k].selected = true;
    scene.nodes = std::move(next);
    scene.untouchedNew = false;
    m_document.notifyChanged();
}

bool editNodes(SceneDocument& document, const QString& text, const std::function<void(std::vector<Node>&)>& edit)
{
    std::vector<Node> after = document.scene().nodes;
    edit(after);
    if (after == document.scene().nodes)
        return false;
    if (sameContent(after, document.scene().nodes)) {
        // Only the selection changed: no step, but keep it.
        document.editableScene().nodes = std::move(after);
        document.notifyChanged();
        return false;
    }
    document.push(new NodeEditCommand(document, text, document.scene().nodes, std::move(after)));
    return true;
}

bool editNode(SceneDocument& document, std::int16_t nodeId, const QString& text, const std::function<void(Node&)>& edit)
{
    if (!findNode(document.scene(), nodeId))
        return false;
    return editNodes(document, text, [&](std::vector<Node>& nodes) {
        for (Node& n : nodes)
            if (n.id == nodeId)
                edit(n);
    });
}

} // namespace qm
