-- Quillfern 2.2, Light edition: notes the quests handed in.
QF_Version = "2.2"
QF_Data = QF_Data or { ["quests"] = {} }
QF_Purge = QF_Purge or "false"

local frame = CreateFrame("Frame")
frame:RegisterEvent("ADDON_LOADED")
frame:RegisterEvent("QUEST_TURNED_IN")
frame:SetScript("OnEvent", function(_, event, arg1, arg2)
    if event == "ADDON_LOADED" and arg1 == "Quillfern" then
        -- The uploader sets the flag once the data has reached the site.
        if QF_Purge == "true!" then
            QF_Data = { ["quests"] = {} }
            QF_Purge = "false"
        end
    elseif event == "QUEST_TURNED_IN" then
        QF_Data.quests[arg1] = C_QuestLog and C_QuestLog.GetTitleForQuestID(arg1) or arg2
    end
end)
