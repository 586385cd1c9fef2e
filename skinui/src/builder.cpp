// Builds control trees from XML layouts.
#include "skinui/builder.h"

#include <pugixml.hpp>

#include <cwchar>
#include <functional>
#include <unordered_map>

#include "skinui/container.h"
#include "skinui/controls.h"
#include "skinui/manager.h"
#include "skinui/menu.h"

namespace skinui {

CControlUI* CreateListControl(const std::wstring& cls);  // list.cpp
bool AddListChild(CControlUI* parent, CControlUI* child);  // list.cpp

namespace {

CDuiString W(const char* utf8) { return CDuiString::FromUtf8(utf8 ? utf8 : ""); }

void ApplyWindow(const pugi::xml_node& window, CPaintManagerUI* manager) {
    if (!manager) return;
    for (const auto& a : window.attributes()) manager->SetWindowAttribute(W(a.name()).c_str(), W(a.value()).c_str());
    for (const auto& node : window.children()) {
        std::string name = node.name();
        if (name == "Font") {
            manager->AddFont(node.attribute("id") ? node.attribute("id").as_int() : -1, W(node.attribute("name").value()).c_str(),
                             node.attribute("size").as_int(12), node.attribute("bold").as_bool(),
                             node.attribute("underline").as_bool(), node.attribute("italic").as_bool(),
                             node.attribute("default").as_bool());
        } else if (name == "Default") {
            manager->AddDefaultAttributeList(W(node.attribute("name").value()).c_str(), W(node.attribute("value").value()).c_str());
        }
    }
}

CControlUI* Build(const pugi::xml_node& node, IDialogBuilderCallback* cb, CPaintManagerUI* manager, CControlUI* parent);

void BuildChildren(const pugi::xml_node& node, IDialogBuilderCallback* cb, CPaintManagerUI* manager, CControlUI* parent) {
    for (const auto& child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        std::string name = child.name();
        if (name == "Font" || name == "Default" || name == "Image") continue;
        Build(child, cb, manager, parent);
    }
}

CControlUI* Build(const pugi::xml_node& node, IDialogBuilderCallback* cb, CPaintManagerUI* manager, CControlUI* parent) {
    CDuiString cls = W(node.name());
    CControlUI* control = CDialogBuilder::CreateBuiltin(cls.c_str());
    if (!control && cb) control = cb->CreateControl(cls.c_str());
    if (!control) {
        ReportError(L"unknown control class \"" + cls + L"\" in the layout; left out");
        return nullptr;
    }
    if (manager) {
        if (const wchar_t* defaults = manager->GetDefaultAttributeList(cls.c_str())) control->ApplyAttributeList(defaults);
    }
    for (const auto& a : node.attributes()) control->SetAttribute(W(a.name()).c_str(), W(a.value()).c_str());
    if (parent) {
        bool added = AddListChild(parent, control);
        if (!added) {
            auto* box = static_cast<IContainerUI*>(parent->GetInterface(L"IContainer"));
            added = box && box->Add(control);
        }
        if (!added) {
            ReportError(L"control \"" + cls + L"\" cannot hold children; \"" + control->GetName() + L"\" left out");
            delete control;
            return nullptr;
        }
    }
    if (node.first_child()) BuildChildren(node, cb, manager, control);
    return control;
}

}  // namespace

CControlUI* CDialogBuilder::CreateBuiltin(const wchar_t* className) {
    static const std::unordered_map<std::wstring, std::function<CControlUI*()>> factory = {
        {L"Control", [] { return new CControlUI; }},
        {L"Container", [] { return new CContainerUI; }},
        {L"VerticalLayout", [] { return new CVerticalLayoutUI; }},
        {L"HorizontalLayout", [] { return new CHorizontalLayoutUI; }},
        {L"TabLayout", [] { return new CTabLayoutUI; }},
        {L"Label", [] { return new CLabelUI; }},
        {L"Text", [] { return new CTextUI; }},
        {L"Button", [] { return new CButtonUI; }},
        {L"Option", [] { return new COptionUI; }},
        {L"CheckBox", [] { return new CCheckBoxUI; }},
        {L"Progress", [] { return new CProgressUI; }},
        {L"Slider", [] { return new CSliderUI; }},
        {L"Edit", [] { return new CEditUI; }},
        {L"RichEdit", [] { return new CRichEditUI; }},
        {L"GifAnim", [] { return new CGifAnimUI; }},
        {L"HotKey", [] { return new CHotKeyUI; }},
        {L"WzMenu", [] { return new CMenuUI; }},
        {L"Menu", [] { return new CMenuUI; }},
        {L"MenuElement", [] { return new CMenuElementUI; }},
        {L"MenuSeparator", [] { return new CMenuSeparatorUI; }},
        {L"MenuButton", [] { return new CMenuButtonUI; }},
    };
    if (!className) return nullptr;
    auto it = factory.find(className);
    if (it != factory.end()) return it->second();
    return CreateListControl(className);
}

CControlUI* CDialogBuilder::Create(const wchar_t* layoutName, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    std::string xml;
    if (!layoutName || !CSkinArchive::Read(layoutName, xml)) {
        ReportError(L"layout \"" + std::wstring(layoutName ? layoutName : L"") + L"\" is missing from the skin");
        return nullptr;
    }
    CControlUI* root = CreateFromXml(xml, callback, manager, parent);
    if (!root) ReportError(L"layout \"" + std::wstring(layoutName) + L"\" could not be built: " + GetLastErrorMessage());
    return root;
}

std::vector<CControlUI*> CDialogBuilder::CreateEach(const wchar_t* layoutName, IDialogBuilderCallback* callback,
                                                    const std::function<CPaintManagerUI*(size_t)>& managerFor) {
    std::vector<CControlUI*> out;
    std::string xml;
    std::wstring name = layoutName ? layoutName : L"";
    if (!CSkinArchive::Read(name, xml)) {
        ReportError(L"layout \"" + name + L"\" is missing from the skin");
        return out;
    }
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size());
    if (!r) {
        ReportError(L"layout \"" + name + L"\": bad XML: " + W(r.description()) + L" at offset " + std::to_wstring(r.offset));
        return out;
    }
    pugi::xml_node top = doc.document_element();
    for (const auto& child : top.children()) {
        if (child.type() != pugi::node_element) continue;
        std::string tag = child.name();
        if (tag == "Font" || tag == "Default" || tag == "Image") continue;
        CPaintManagerUI* manager = managerFor(out.size());
        if (std::string(top.name()) == "Window") ApplyWindow(top, manager);
        if (CControlUI* c = Build(child, callback, manager, nullptr)) out.push_back(c);
    }
    if (out.empty()) ReportError(L"layout \"" + name + L"\" holds no control");
    return out;
}

CControlUI* CDialogBuilder::CreateFromXml(const std::string& xml, IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                          CControlUI* parent) {
    pugi::xml_document doc;
    pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size());
    if (!r) {
        ReportError(L"bad XML: " + W(r.description()) + L" at offset " + std::to_wstring(r.offset));
        return nullptr;
    }
    pugi::xml_node top = doc.document_element();
    if (std::string(top.name()) == "Window") {
        ApplyWindow(top, manager);
        for (const auto& child : top.children()) {
            if (child.type() != pugi::node_element) continue;
            std::string name = child.name();
            if (name == "Font" || name == "Default" || name == "Image") continue;
            return Build(child, callback, manager, parent);
        }
        ReportError(L"the layout's window holds no control");
        return nullptr;
    }
    return Build(top, callback, manager, parent);
}

}  // namespace skinui
